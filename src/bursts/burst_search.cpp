#include "bursts/burst_search.h"

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "bursts/burst_collector.h"
#include "bursts/dual_channel_search.h"
#include "bursts/search_thresholds.h"
#include "bursts/sliding_window.h"
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

}  // namespace

BurstSearchMethod parse_burst_search_method(const std::string& text) {
  if (text == "apbs") return BurstSearchMethod::kAllPhotons;
  if (text == "dcbs") return BurstSearchMethod::kDualChannel;
  refuse("method " + text +
         ": apbs (all photons, one stream) or dcbs (dual-channel: the donor- and the "
         "acceptor-excitation stream, both in a burst at once).");
}

const char* burst_search_method_name(BurstSearchMethod method) {
  return method == BurstSearchMethod::kDualChannel ? "dcbs" : "apbs";
}

BurstSearchResult search_bursts(const Measurement& measurement, const BurstSearchOptions& options,
                                const Background& background) {
  check_options(options);
  if (options.method == BurstSearchMethod::kDualChannel) {
    return search_dual_channel(measurement, options, background);
  }
  BurstSearchResult result;
  result.threshold_s = stream_thresholds(
      options, background, [](const StreamRates& rates) { return rates.all.rate_hz; },
      "all photons");
  const std::vector<double> threshold_ticks =
      in_ticks(result.threshold_s, measurement.description.timestamps_unit);
  const std::vector<double> spacing_ticks = mean_spacings(threshold_ticks, options.m);
  const std::vector<std::int64_t>& t = measurement.timestamps;
  BurstCollector collector(measurement, options, background, spacing_ticks, result);
  sliding_window_runs(
      t.size(), [&t](std::size_t i) { return t[i]; }, static_cast<std::size_t>(options.m),
      background, threshold_ticks,
      [&collector](std::size_t first, std::size_t last) { collector.add_run(first, last); });
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
