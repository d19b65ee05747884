#include "bursts/dual_channel_search.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "base/error.h"
#include "bursts/burst_collector.h"
#include "bursts/search_thresholds.h"
#include "bursts/sliding_window.h"

namespace pelmora {

namespace {

// Photons [first, last] of the measurement.
struct PhotonSpan {
  std::size_t first = 0;
  std::size_t last = 0;
};

// The bursts of one stream (the measurement's photons `stream`, in time
// order): its runs, those that share photons joined.
std::vector<PhotonSpan> stream_bursts(const Measurement& measurement,
                                      const std::vector<std::size_t>& stream,
                                      const BurstSearchOptions& options,
                                      const Background& background,
                                      const std::vector<double>& threshold_s) {
  const std::vector<std::int64_t>& t = measurement.timestamps;
  const std::vector<double> threshold_ticks =
      in_ticks(threshold_s, measurement.description.timestamps_unit);
  const auto timestamp_at = [&](std::size_t k) { return t[stream[k]]; };
  // Stream positions first, then photons of the measurement.
  std::vector<PhotonSpan> bursts;
  sliding_window_runs(stream.size(), timestamp_at, static_cast<std::size_t>(options.m), background,
                      threshold_ticks, [&](std::size_t first, std::size_t last) {
                        if (!bursts.empty() && first <= bursts.back().last) {
                          bursts.back().last = std::max(bursts.back().last, last);
                        } else {
                          bursts.push_back({first, last});
                        }
                      });
  const std::vector<double> spacing_ticks = mean_spacings(threshold_ticks, options.m);
  for (PhotonSpan& burst : bursts) {
    if (options.edges == BurstEdges::kTrimmed) {
      const double spacing = spacing_ticks[std::min(background.window_of(timestamp_at(burst.first)),
                                                    spacing_ticks.size() - 1)];
      const auto [first, last] =
          without_isolated_edges(burst.first, burst.last, timestamp_at, spacing);
      burst = {first, last};
    }
    burst = {stream[burst.first], stream[burst.last]};
  }
  return bursts;
}

}  // namespace

BurstSearchResult search_dual_channel(const Measurement& measurement,
                                      const BurstSearchOptions& options,
                                      const Background& background) {
  const MeasurementDescription& d = measurement.description;
  if (!has_acceptor_excitation(d)) {
    throw Error(ErrorKind::kInput,
                "Burst search: the dual-channel search (dcbs) needs acceptor excitation "
                "(smFRET-usALEX or smFRET-nsALEX); " +
                    (d.path.empty() ? std::string("the measurement") : d.path) + " is of type " +
                    (d.measurement_type.empty() ? std::string("smFRET") : d.measurement_type) +
                    ".");
  }
  std::vector<std::size_t> donor_excited;
  std::vector<std::size_t> acceptor_excited;
  for (std::size_t i = 0; i < measurement.flags.size(); ++i) {
    const std::uint8_t flags = measurement.flags[i];
    if (is_donor_excited(flags)) {
      donor_excited.push_back(i);
    } else if (is_acceptor(flags)) {
      acceptor_excited.push_back(i);
    }
  }

  BurstSearchResult result;
  result.threshold_s = stream_thresholds(
      options, background,
      [](const StreamRates& rates) { return rates.donor.rate_hz + rates.acceptor.rate_hz; },
      "the donor-excitation photons");
  result.acceptor_excitation_threshold_s = stream_thresholds(
      options, background, [](const StreamRates& rates) { return rates.acceptor_excited.rate_hz; },
      "the acceptor-channel photons under acceptor excitation");
  const std::vector<PhotonSpan> donor_bursts =
      stream_bursts(measurement, donor_excited, options, background, result.threshold_s);
  const std::vector<PhotonSpan> acceptor_bursts = stream_bursts(
      measurement, acceptor_excited, options, background, result.acceptor_excitation_threshold_s);

  // The intersections, in time order: of each pair of overlapping bursts,
  // from the later start to the earlier stop; then on to the next burst of
  // the stream whose burst stops first.
  const std::vector<std::int64_t>& t = measurement.timestamps;
  // The streams' bursts lost their isolated edges already.
  BurstCollector collector(measurement, options, background, {}, result);
  std::size_t a = 0;
  std::size_t b = 0;
  while (a < donor_bursts.size() && b < acceptor_bursts.size()) {
    const PhotonSpan& x = donor_bursts[a];
    const PhotonSpan& y = acceptor_bursts[b];
    const std::int64_t low = std::max(t[x.first], t[y.first]);
    const std::int64_t high = std::min(t[x.last], t[y.last]);
    if (low <= high) {
      const auto first = std::lower_bound(t.begin(), t.end(), low) - t.begin();
      const auto last = std::upper_bound(t.begin(), t.end(), high) - t.begin() - 1;
      collector.add_run(static_cast<std::size_t>(first), static_cast<std::size_t>(last));
    }
    if (t[x.last] < t[y.last]) {
      ++a;
    } else {
      ++b;
    }
  }
  collector.finish();
  return result;
}

}  // namespace pelmora
