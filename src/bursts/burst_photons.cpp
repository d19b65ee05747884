#include "bursts/burst_photons.h"

#include <algorithm>
#include <limits>

namespace pelmora {

double BurstCounts::raw_efficiency() const {
  if (analysed() == 0) return std::numeric_limits<double>::quiet_NaN();
  return static_cast<double>(acceptor) / static_cast<double>(analysed());
}

PhotonRange photons_in_window(const Measurement& measurement, double t_start_s, double t_stop_s) {
  // seconds() is monotone in the timestamp (a product with a positive unit,
  // rounded), so both bounds are partition points.
  const std::size_t n = measurement.timestamps.size();
  std::size_t low = 0;
  std::size_t high = n;
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (measurement.seconds(mid) < t_start_s) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  const std::size_t begin = low;
  high = n;
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (measurement.seconds(mid) <= t_stop_s) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return {begin, std::max(begin, low)};
}

BurstCounts count_burst_photons(const Measurement& measurement, double t_start_s, double t_stop_s) {
  const PhotonRange range = photons_in_window(measurement, t_start_s, t_stop_s);
  BurstCounts counts;
  counts.photons = static_cast<std::int64_t>(range.end - range.begin);
  std::int64_t acceptor_excited = 0;
  for (std::size_t i = range.begin; i < range.end; ++i) {
    const std::uint8_t flags = measurement.flags[i];
    if (!is_donor_excited(flags)) {
      if (is_acceptor(flags)) ++acceptor_excited;
      continue;
    }
    if (is_acceptor(flags)) {
      ++counts.acceptor;
    } else {
      ++counts.donor;
    }
  }
  if (has_acceptor_excitation(measurement.description)) counts.acceptor_excited = acceptor_excited;
  return counts;
}

BurstPhotons burst_photons(const Measurement& measurement, const BurstWindow& window) {
  const PhotonRange range = photons_in_window(measurement, window.t_start_s, window.t_stop_s);
  BurstPhotons photons;
  const double microseconds_per_tick = measurement.description.timestamps_unit * 1e6;
  photons.times_us.reserve(range.end - range.begin);
  photons.acceptor.reserve(range.end - range.begin);
  bool first = true;
  float previous = 0.0f;
  for (std::size_t i = range.begin; i < range.end; ++i) {
    const std::uint8_t flags = measurement.flags[i];
    if (!is_donor_excited(flags)) continue;
    const std::int64_t timestamp = measurement.timestamps[i];
    if (first) photons.first_timestamp = timestamp;
    auto t = static_cast<float>(ticks_between(photons.first_timestamp, timestamp) *
                                microseconds_per_tick);
    if (!first) {
      // The reader's rule for simultaneous photons, applied to the time it
      // would have read, so that a burst analysed from memory and the same
      // burst read from its exported file are the same photons to the bit.
      if (t == previous) {
        t = static_cast<float>(static_cast<double>(t) + 0.01);
        ++photons.shifted;
      } else if (t < previous) {
        photons.unordered = true;
      }
    }
    photons.times_us.push_back(static_cast<double>(t));
    photons.acceptor.push_back(is_acceptor(flags) ? 1 : 0);
    previous = t;
    first = false;
  }
  return photons;
}

}  // namespace pelmora
