#include "bursts/burst_search.h"

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "bursts/burst_photons.h"
#include "bursts/table_seconds.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

[[noreturn]] void refuse(const std::string& reason) {
  throw Error(ErrorKind::kInput, "Burst search: " + reason);
}

void check_options(const BurstSearchOptions& options) {
  if (options.m < 2) refuse(format_text("m must be at least 2 (found %d).", options.m));
  if (options.min_rate_khz) {
    const double rate = *options.min_rate_khz;
    if (!(rate > 0) || !std::isfinite(rate)) {
      refuse(format_text("the minimum rate must be a positive number of kHz (found %g).", rate));
    }
  } else if (!(options.F > 0) || !std::isfinite(options.F)) {
    refuse(format_text("F must be a positive number (found %g).", options.F));
  }
  if (options.min_photons < 1) {
    refuse(format_text("min_photons must be at least 1 (found %d).", options.min_photons));
  }
}

// Gathers the runs of windows in a burst into bursts: fuses a run with the
// one before when they share photons or their table windows would touch, and
// keeps a burst once nothing more can join it and it has enough photons.
class BurstCollector {
 public:
  BurstCollector(const Measurement& measurement, int min_photons, BurstSearchResult& result)
      : measurement_(measurement), min_photons_(min_photons), result_(result) {}

  void add_run(std::size_t first, std::size_t last) {
    const double start = table_seconds_down(measurement_.seconds(first));
    const double stop = table_seconds_up(measurement_.seconds(last));
    if (open_ && (first <= last_ || start <= stop_s_)) {
      last_ = std::max(last_, last);
      stop_s_ = std::max(stop_s_, stop);
      return;
    }
    finish();
    open_ = true;
    last_ = last;
    start_s_ = start;
    stop_s_ = stop;
  }

  void finish() {
    if (!open_) return;
    open_ = false;
    Burst burst;
    burst.window.t_start_s = start_s_;
    burst.window.t_stop_s = stop_s_;
    burst.counts = count_burst_photons(measurement_, start_s_, stop_s_);
    if (burst.counts.analysed() < min_photons_) {
      ++result_.too_small;
      return;
    }
    burst.window.number = static_cast<std::int64_t>(result_.bursts.size());
    result_.bursts.push_back(burst);
  }

 private:
  const Measurement& measurement_;
  std::int64_t min_photons_;
  BurstSearchResult& result_;
  bool open_ = false;
  std::size_t last_ = 0;  // photon index
  double start_s_ = 0;    // table window
  double stop_s_ = 0;
};

}  // namespace

BurstSearchResult search_bursts(const Measurement& measurement, const BurstSearchOptions& options,
                                const Background& background) {
  check_options(options);
  // A given minimum rate needs no background; an empty one serves then.
  const std::size_t windows = std::max<std::size_t>(1, background.windows.size());
  const double m_minus_1 = options.m - 1;
  BurstSearchResult result;
  result.threshold_s.resize(windows);
  for (std::size_t w = 0; w < windows; ++w) {
    double rate_min = 0;
    if (options.min_rate_khz) {
      rate_min = *options.min_rate_khz * 1e3;
    } else {
      const double background_rate =
          background.windows.empty() ? 0.0 : background.windows[w].rates.all.rate_hz;
      if (!(background_rate > 0)) {
        refuse(
            "the background rate of all photons could not be estimated; give a minimum rate "
            "instead of F.");
      }
      rate_min = options.F * background_rate;
    }
    result.threshold_s[w] = m_minus_1 / rate_min;
  }

  const std::vector<std::int64_t>& t = measurement.timestamps;
  const std::size_t n = t.size();
  const auto m = static_cast<std::size_t>(options.m);
  if (n < m) return result;
  const std::size_t last_window_start = n - m;  // of the sliding m-photon windows
  const double unit = measurement.description.timestamps_unit;

  BurstCollector collector(measurement, options.min_photons, result);
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t run_start = kNone;
  std::size_t i = 0;
  while (i <= last_window_start) {
    // The photons of one background window share a threshold; the window
    // index only grows with i.
    const std::size_t w = background.window_of(t[i]);
    const double threshold_ticks = result.threshold_s[w] / unit;
    std::size_t segment_end = last_window_start + 1;
    if (w + 1 < windows) {
      const auto later = std::partition_point(
          t.begin() + static_cast<std::ptrdiff_t>(i), t.begin() + static_cast<std::ptrdiff_t>(n),
          [&](std::int64_t timestamp) { return background.window_of(timestamp) <= w; });
      segment_end = std::min(segment_end, static_cast<std::size_t>(later - t.begin()));
    }
    for (; i < segment_end; ++i) {
      const bool in_burst = ticks_between(t[i], t[i + m - 1]) <= threshold_ticks;
      if (in_burst) {
        if (run_start == kNone) run_start = i;
      } else if (run_start != kNone) {
        collector.add_run(run_start, i - 1 + m - 1);
        run_start = kNone;
      }
    }
  }
  if (run_start != kNone) collector.add_run(run_start, n - 1);
  collector.finish();
  return result;
}

MeasurementSearch search_measurement(const Measurement& measurement,
                                     const BurstSearchOptions& options) {
  MeasurementSearch search;
  if (!options.min_rate_khz) {
    search.background = estimate_background(measurement, options.background_window_s);
  }
  search.found = search_bursts(measurement, options, search.background.value_or(Background{}));
  return search;
}

}  // namespace pelmora
