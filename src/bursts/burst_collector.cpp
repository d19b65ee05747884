#include "bursts/burst_collector.h"

#include <algorithm>

#include "bursts/burst_streams.h"
#include "bursts/sliding_window.h"
#include "bursts/table_seconds.h"

namespace pelmora {

BurstCollector::BurstCollector(const Measurement& measurement, const BurstSearchOptions& options,
                               const Background& background, std::span<const double> spacing_ticks,
                               BurstSearchResult& result)
    : measurement_(measurement),
      options_(options),
      background_(background),
      spacing_ticks_(spacing_ticks),
      result_(result) {}

void BurstCollector::add_run(std::size_t first, std::size_t last) {
  const double start = table_seconds_down(measurement_.seconds(first));
  const double stop = table_seconds_up(measurement_.seconds(last));
  if (open_ && (first <= last_ || start <= stop_s_)) {
    last_ = std::max(last_, last);
    stop_s_ = std::max(stop_s_, stop);
    return;
  }
  finish();
  open_ = true;
  first_ = first;
  last_ = last;
  start_s_ = start;
  stop_s_ = stop;
}

void BurstCollector::finish() {
  if (!open_) return;
  open_ = false;
  BurstWindow window;
  window.t_start_s = start_s_;
  window.t_stop_s = stop_s_;
  if (!spacing_ticks_.empty() && options_.edges == BurstEdges::kTrimmed) {
    const std::vector<std::int64_t>& t = measurement_.timestamps;
    const double spacing =
        spacing_ticks_[std::min(background_.window_of(t[first_]), spacing_ticks_.size() - 1)];
    const auto [first, last] = without_isolated_edges(
        first_, last_, [&t](std::size_t i) { return t[i]; }, spacing);
    window.t_start_s = table_seconds_down(measurement_.seconds(first));
    window.t_stop_s = table_seconds_up(measurement_.seconds(last));
  }
  Burst burst = describe_burst(measurement_, window, background_, options_.corrections);
  const BurstCounts& c = burst.counts;
  const std::int64_t size = options_.size == BurstSize::kAllStreams
                                ? c.analysed() + c.acceptor_excited.value_or(0)
                                : c.analysed();
  if (size < options_.min_photons) {
    ++result_.too_small;
    return;
  }
  burst.window.number = static_cast<std::int64_t>(result_.bursts.size());
  result_.bursts.push_back(burst);
}

}  // namespace pelmora
