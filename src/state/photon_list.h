#pragma once

#include "numeric/indexed_array.h"

namespace pelmora {

inline constexpr int kPhotonCapacity = 1000000;

inline constexpr int kDonorPhoton = 1;
inline constexpr int kAcceptorPhoton = 2;

// The photon record, filled once by the reader and read-only afterwards.
// photon_times and photon_types span 0..kPhotonCapacity+2 (0-based); entries
// from photon_count on carry no data.
struct PhotonList {
  DVector photon_times;  // mu s, non-decreasing
  IVector photon_types;  // kDonorPhoton or kAcceptorPhoton
  int photon_count = 0;
  int donor_count = 0;
  int acceptor_count = 0;
  double start_time = 0.0;  // mu s, photon_times[0]
  double end_time = 0.0;    // mu s, photon_times[photon_count - 1]
};

}  // namespace pelmora
