#include "bursts/search_thresholds.h"

#include <algorithm>

#include "base/error.h"

namespace pelmora {

std::vector<double> stream_thresholds(const BurstSearchOptions& options,
                                      const Background& background,
                                      const std::function<double(const StreamRates&)>& stream_rate,
                                      const char* stream_name) {
  // A given minimum rate needs no background; an empty one serves then.
  const std::size_t windows = std::max<std::size_t>(1, background.windows.size());
  const double m_minus_1 = options.m - 1;
  std::vector<double> threshold_s(windows);
  for (std::size_t w = 0; w < windows; ++w) {
    double rate_min = 0;
    if (options.min_rate_khz) {
      rate_min = *options.min_rate_khz * 1e3;
    } else {
      const double background_rate =
          background.windows.empty() ? 0.0 : stream_rate(background.windows[w].rates);
      if (!(background_rate > 0)) {
        throw Error(ErrorKind::kInput, std::string("Burst search: the background rate of ") +
                                           stream_name +
                                           " could not be estimated; give a minimum rate "
                                           "instead of F.");
      }
      rate_min = options.F * background_rate;
    }
    threshold_s[w] = m_minus_1 / rate_min;
  }
  return threshold_s;
}

std::vector<double> in_ticks(std::span<const double> threshold_s, double unit) {
  std::vector<double> ticks;
  ticks.reserve(threshold_s.size());
  for (const double t : threshold_s) ticks.push_back(t / unit);
  return ticks;
}

std::vector<double> mean_spacings(std::span<const double> thresholds, int m) {
  std::vector<double> spacings;
  spacings.reserve(thresholds.size());
  for (const double t : thresholds) spacings.push_back(t / (m - 1));
  return spacings;
}

}  // namespace pelmora
