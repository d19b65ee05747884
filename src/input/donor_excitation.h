// Whether the donor laser excited a photon, by the measurement's scheme:
// always (smFRET), by the photon's place in the alternation period
// (µs-ALEX), or by its nanotime (ns-ALEX).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "input/photon_hdf5_settings.h"

namespace pelmora {

class DonorExcitation {
 public:
  explicit DonorExcitation(const MeasurementSettings& settings);

  bool operator()(std::int64_t timestamp, std::int64_t nanotime) const {
    switch (scheme_) {
      case ExcitationScheme::kDonorOnly:
        return true;
      case ExcitationScheme::kMicrosecondAlex:
        return in_donor_period(timestamp);
      case ExcitationScheme::kNanosecondAlex:
        for (const auto& [start, stop] : nanotime_windows_) {
          if (nanotime >= start && nanotime < stop) return true;
        }
        return false;
    }
    return true;
  }

 private:
  bool in_donor_period(std::int64_t timestamp) const {
    // (timestamp - offset) mod period, without forming timestamp - offset,
    // which may overflow for extreme values of either.
    std::int64_t remainder = timestamp % period_;
    if (remainder < 0) remainder += period_;
    const std::int64_t phase =
        remainder >= offset_ ? remainder - offset_ : remainder + (period_ - offset_);
    return start_ <= stop_ ? phase >= start_ && phase < stop_ : phase >= start_ || phase < stop_;
  }

  ExcitationScheme scheme_;
  std::int64_t period_ = 1;
  std::int64_t offset_ = 0;  // reduced to [0, period)
  std::int64_t start_ = 0;
  std::int64_t stop_ = 0;
  std::vector<std::pair<std::int64_t, std::int64_t>> nanotime_windows_;
};

inline DonorExcitation::DonorExcitation(const MeasurementSettings& settings)
    : scheme_(settings.scheme) {
  if (!settings.alex) return;
  const AlexSettings& alex = *settings.alex;
  if (scheme_ == ExcitationScheme::kMicrosecondAlex) {
    period_ = alex.period;
    offset_ = alex.offset % period_;
    if (offset_ < 0) offset_ += period_;
    start_ = alex.donor_start;
    stop_ = alex.donor_stop;
  }
  nanotime_windows_ = alex.nanotime_windows;
}

}  // namespace pelmora
