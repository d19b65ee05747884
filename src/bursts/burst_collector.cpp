#include "bursts/burst_collector.h"

#include <algorithm>

#include "bursts/burst_streams.h"
#include "bursts/table_seconds.h"

namespace pelmora {

BurstCollector::BurstCollector(const Measurement& measurement, const BurstSearchOptions& options,
                               const Background& background, BurstSearchResult& result)
    : measurement_(measurement), options_(options), background_(background), result_(result) {}

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
  Burst burst = describe_burst(measurement_, window, background_, options_.corrections);
  if (burst.counts.analysed() < options_.min_photons) {
    ++result_.too_small;
    return;
  }
  burst.window.number = static_cast<std::int64_t>(result_.bursts.size());
  result_.bursts.push_back(burst);
}

}  // namespace pelmora
