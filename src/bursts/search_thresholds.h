// The sliding-window threshold T = (m - 1) / rate_min of a searched stream in
// each background window: rate_min is the given minimum rate, or F times the
// stream's background rate in that window.
#pragma once

#include <functional>
#include <span>
#include <vector>

#include "bursts/background.h"
#include "bursts/burst_search.h"

namespace pelmora {

// T in seconds for each background window (one value when `background` has
// no windows, which serves a given minimum rate).  `stream_rate` picks the
// stream's rate in Hz out of a window's rates; `stream_name` ("all photons")
// names it when its rate is 0 and F was to be used (kInput).
std::vector<double> stream_thresholds(const BurstSearchOptions& options,
                                      const Background& background,
                                      const std::function<double(const StreamRates&)>& stream_rate,
                                      const char* stream_name);

// The same thresholds in timestamp units.
std::vector<double> in_ticks(std::span<const double> threshold_s, double unit);

// T / (m - 1) of each threshold: the mean photon spacing at the minimum rate.
std::vector<double> mean_spacings(std::span<const double> thresholds, int m);

}  // namespace pelmora
