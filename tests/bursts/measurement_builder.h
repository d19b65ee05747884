// Small hand-made and generated measurements for the burst tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "input/measurement.h"

namespace pelmora::testing {

// One letter per photon: 'D' donor and 'A' acceptor channel under donor
// excitation (the analysed photons), 'd' and 'a' the same channels under
// acceptor excitation.  Photons beyond the letters are 'D'.
inline Measurement make_measurement(std::vector<std::int64_t> timestamps,
                                    std::string_view kinds = "", double unit = 1e-6) {
  Measurement measurement;
  measurement.description.timestamps_unit = unit;
  measurement.flags.reserve(timestamps.size());
  for (std::size_t i = 0; i < timestamps.size(); ++i) {
    const char kind = i < kinds.size() ? kinds[i] : 'D';
    std::uint8_t flags = 0;
    if (kind == 'A' || kind == 'a') flags |= kAcceptorChannel;
    if (kind == 'D' || kind == 'A') flags |= kDonorExcitation;
    measurement.flags.push_back(flags);
  }
  measurement.timestamps = std::move(timestamps);
  return measurement;
}

struct Source {
  double rate_hz;
  char kind;  // as make_measurement takes it
};

// Poisson photons of each source over [0, duration_s), and every
// `burst_every_s` a burst of `burst_photons` photons 10 us apart (alternating
// donor and acceptor under donor excitation); timestamps in ticks of `unit`
// from `first_tick` on.
inline Measurement generated(const std::vector<Source>& sources, double duration_s,
                             double burst_every_s, int burst_photons, std::uint64_t seed,
                             double unit = 12.5e-9, std::int64_t first_tick = 0) {
  std::mt19937_64 random(seed);
  // Our own exponential draw, so that the stream is the same with any
  // standard library.
  const auto exponential = [&random](double rate) {
    const double u = static_cast<double>(random() >> 11) * 0x1.0p-53;
    return -std::log1p(-u) / rate;
  };
  std::vector<std::pair<std::int64_t, char>> photons;
  const auto tick = [&](double t) { return first_tick + static_cast<std::int64_t>(t / unit); };
  for (const Source& source : sources) {
    for (double t = exponential(source.rate_hz); t < duration_s; t += exponential(source.rate_hz)) {
      photons.emplace_back(tick(t), source.kind);
    }
  }
  for (double t = burst_every_s / 2; burst_every_s > 0 && t < duration_s; t += burst_every_s) {
    for (int k = 0; k < burst_photons; ++k) {
      photons.emplace_back(tick(t + k * 10e-6), k % 2 ? 'A' : 'D');
    }
  }
  std::sort(photons.begin(), photons.end());
  std::vector<std::int64_t> ticks;
  std::string kinds;
  for (const auto& [t, kind] : photons) {
    ticks.push_back(t);
    kinds.push_back(kind);
  }
  return make_measurement(std::move(ticks), kinds, unit);
}

}  // namespace pelmora::testing
