// Small hand-made measurements for the burst tests.
#pragma once

#include <cstdint>
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

}  // namespace pelmora::testing
