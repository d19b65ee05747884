#include "bursts/background.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "base/error.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

// A last window shorter than this share of window_s is joined to the one
// before, as its few photons would rarely support a fit of their own.
constexpr double kShortLastWindow = 0.03;
// More windows than this are surely a mistake of units (and would cost
// memory for nothing).
constexpr double kMaxWindows = 1e6;

constexpr std::size_t kStreams = 4;  // all, donor, acceptor, acceptor under acceptor excitation
constexpr std::size_t kAll = 0;
constexpr std::size_t kDonor = 1;
constexpr std::size_t kAcceptor = 2;
constexpr std::size_t kAcceptorExcited = 3;
constexpr const char* kStreamNames[kStreams] = {
    "all photons", "the donor-channel photons (donor excitation)",
    "the acceptor-channel photons (donor excitation)",
    "the acceptor-channel photons (acceptor excitation)"};

// The sums of an exponential tail fit: delays longer than tau and their
// excess over tau, in timestamp units.
struct TailSum {
  double excess = 0;
  std::int64_t count = 0;

  void add(double delay, double tau) {
    if (delay > tau) {
      excess += delay - tau;
      ++count;
    }
  }
  // The second threshold, 2 / rate0 = 2 mean(delay - tau0); infinite (no
  // delay will pass) when the first fit had nothing.
  double next_threshold() const {
    if (count == 0) return std::numeric_limits<double>::infinity();
    return kTailThresholdFactor * excess / static_cast<double>(count);
  }
};

using StreamSums = std::array<TailSum, kStreams>;
using StreamTaus = std::array<double, kStreams>;

StreamRate rate_of(const TailSum& sum, double tau_ticks, double unit) {
  StreamRate rate;
  rate.tail_threshold_s = tau_ticks * unit;
  rate.tail_delays = sum.count;
  if (sum.count > 0) rate.rate_hz = static_cast<double>(sum.count) / (sum.excess * unit);
  return rate;
}

StreamRate& stream(StreamRates& rates, std::size_t s) {
  return s == kAll        ? rates.all
         : s == kDonor    ? rates.donor
         : s == kAcceptor ? rates.acceptor
                          : rates.acceptor_excited;
}

class TailPass {
 public:
  // first_photon[w]: the first photon of window w; one more entry, n.
  TailPass(const Measurement& measurement, const std::vector<std::size_t>& first_photon)
      : measurement_(measurement), first_photon_(first_photon) {}

  // One pass over the photons: the delays of each stream summed over the
  // whole measurement, and within each window (both photons of a delay in
  // that window).
  void run(const StreamTaus& whole_tau, const std::vector<StreamTaus>& window_tau) {
    const std::size_t windows = first_photon_.size() - 1;
    whole.fill(TailSum{});
    per_window.assign(windows, StreamSums{});
    std::array<std::int64_t, kStreams> previous{};
    std::array<bool, kStreams> seen{};
    const std::vector<std::int64_t>& timestamps = measurement_.timestamps;
    const std::vector<std::uint8_t>& flags = measurement_.flags;
    for (std::size_t w = 0; w < windows; ++w) {
      std::array<bool, kStreams> seen_in_window{};
      StreamSums& sums = per_window[w];
      const StreamTaus& taus = window_tau[w];
      const auto add = [&](std::size_t s, std::int64_t timestamp) {
        if (seen[s]) {
          const double delay = ticks_between(previous[s], timestamp);
          whole[s].add(delay, whole_tau[s]);
          if (seen_in_window[s]) sums[s].add(delay, taus[s]);
        }
        seen[s] = true;
        seen_in_window[s] = true;
        previous[s] = timestamp;
      };
      for (std::size_t i = first_photon_[w]; i < first_photon_[w + 1]; ++i) {
        add(kAll, timestamps[i]);
        if (is_donor_excited(flags[i])) {
          add(is_acceptor(flags[i]) ? kAcceptor : kDonor, timestamps[i]);
        } else if (is_acceptor(flags[i])) {
          add(kAcceptorExcited, timestamps[i]);
        }
      }
    }
  }

  StreamSums whole{};
  std::vector<StreamSums> per_window;

 private:
  const Measurement& measurement_;
  const std::vector<std::size_t>& first_photon_;
};

}  // namespace

std::size_t Background::window_of(std::int64_t timestamp) const {
  if (windows.size() <= 1) return 0;
  const double position = ticks_between(origin_timestamp, timestamp) / window_ticks;
  if (!(position >= 1.0)) return 0;  // before the first boundary
  const double last = static_cast<double>(windows.size() - 1);
  return static_cast<std::size_t>(std::min(std::floor(position), last));
}

Background estimate_background(const Measurement& measurement, double window_s) {
  if (!(window_s > 0)) {
    throw Error(ErrorKind::kInput,
                format_text("The background window must be longer than 0 s (found %g "
                            "s).",
                            window_s));
  }
  const double unit = measurement.description.timestamps_unit;
  const std::vector<std::int64_t>& timestamps = measurement.timestamps;
  const std::size_t n = timestamps.size();

  Background background;
  background.window_s = window_s;
  background.origin_timestamp = n > 0 ? timestamps.front() : 0;
  background.window_ticks = window_s / unit;
  const double span = n > 0 ? ticks_between(timestamps.front(), timestamps.back()) : 0.0;
  double window_count = std::floor(span / background.window_ticks) + 1;
  if (window_count > kMaxWindows) {
    throw Error(ErrorKind::kInput,
                format_text("A background window of %g s cuts the measurement into "
                            "more than %.0f windows.",
                            window_s, kMaxWindows));
  }
  if (window_count > 1 && span - (window_count - 1) * background.window_ticks <
                              kShortLastWindow * background.window_ticks) {
    window_count -= 1;
  }
  const auto windows = static_cast<std::size_t>(window_count);
  const double origin_s = static_cast<double>(background.origin_timestamp) * unit;
  background.windows.resize(windows);
  for (std::size_t w = 0; w < windows; ++w) {
    background.windows[w].t_start_s =
        w == 0 ? origin_s : origin_s + static_cast<double>(w) * window_s;
    background.windows[w].t_stop_s = w + 1 == windows
                                         ? (n > 0 ? measurement.seconds(n - 1) : origin_s)
                                         : origin_s + static_cast<double>(w + 1) * window_s;
  }

  std::vector<std::size_t> first_photon(windows + 1, n);
  first_photon[0] = 0;
  for (std::size_t w = 1; w < windows; ++w) {
    const auto later = std::partition_point(
        timestamps.begin(), timestamps.end(),
        [&](std::int64_t timestamp) { return background.window_of(timestamp) < w; });
    first_photon[w] = static_cast<std::size_t>(later - timestamps.begin());
  }

  // First pass with the fixed threshold, second with 2 / rate0 of each
  // stream and window.
  TailPass pass(measurement, first_photon);
  StreamTaus whole_tau;
  whole_tau.fill(kFirstTailThresholdS / unit);
  std::vector<StreamTaus> window_tau(windows, whole_tau);
  pass.run(whole_tau, window_tau);
  for (std::size_t s = 0; s < kStreams; ++s) {
    whole_tau[s] = pass.whole[s].next_threshold();
    for (std::size_t w = 0; w < windows; ++w) {
      window_tau[w][s] = pass.per_window[w][s].next_threshold();
    }
  }
  pass.run(whole_tau, window_tau);

  // Without acceptor excitation the n_aa stream is empty by design.
  const bool warn_acceptor_excited = has_acceptor_excitation(measurement.description);
  for (std::size_t s = 0; s < kStreams; ++s) {
    StreamRate& whole = stream(background.whole, s);
    whole = rate_of(pass.whole[s], whole_tau[s], unit);
    const bool warn = s != kAcceptorExcited || warn_acceptor_excited;
    std::vector<std::string>& warnings =
        s == kAcceptorExcited ? background.acceptor_excitation_warnings : background.warnings;
    if (whole.tail_delays == 0) {
      whole.fallback = true;
      if (warn) {
        warnings.push_back(
            format_text("Background of %s: no inter-photon delay above the tail "
                        "threshold; the background is taken as 0.",
                        kStreamNames[s]));
      }
    } else if (whole.tail_delays < kMinTailDelays && warn) {
      warnings.push_back(
          format_text("Background of %s rests on only %lld inter-photon delays; the "
                      "estimate is uncertain.",
                      kStreamNames[s], static_cast<long long>(whole.tail_delays)));
    }
    std::size_t fallbacks = 0;
    for (std::size_t w = 0; w < windows; ++w) {
      StreamRate& rate = stream(background.windows[w].rates, s);
      rate = rate_of(pass.per_window[w][s], window_tau[w][s], unit);
      if (rate.tail_delays < kMinTailDelays) {
        rate = whole;
        rate.fallback = true;
        ++fallbacks;
      }
    }
    // Nothing to add when the whole measurement had no estimate either.
    if (fallbacks > 0 && windows > 1 && !whole.fallback && warn) {
      warnings.push_back(format_text(
          "Background of %s: %zu of %zu windows of %g s have fewer than %lld "
          "delays above the tail threshold; they take the whole measurement's estimate.",
          kStreamNames[s], fallbacks, windows, window_s, static_cast<long long>(kMinTailDelays)));
    }
  }
  return background;
}

BackgroundCounts expected_background(const Background& background, double t_start_s,
                                     double t_stop_s) {
  BackgroundCounts counts;
  const std::vector<BackgroundWindow>& windows = background.windows;
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  for (std::size_t w = 0; w < windows.size(); ++w) {
    const double low = std::max(t_start_s, w == 0 ? -kInfinity : windows[w].t_start_s);
    const double high =
        std::min(t_stop_s, w + 1 == windows.size() ? kInfinity : windows[w + 1].t_start_s);
    if (high <= low) continue;
    counts.donor += windows[w].rates.donor.rate_hz * (high - low);
    counts.acceptor += windows[w].rates.acceptor.rate_hz * (high - low);
    counts.acceptor_excited += windows[w].rates.acceptor_excited.rate_hz * (high - low);
  }
  return counts;
}

}  // namespace pelmora
