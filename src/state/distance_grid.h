#pragma once

#include "numeric/indexed_array.h"

namespace pelmora {

// Colour probabilities per internal grid point, both over 0..M+1 (0-based);
// entries 0..M-1 are used.  Grid point i lies at
// internal_rmin + (internal_rmax - internal_rmin) * i / (M - 1) nm and is never stored.
struct DistanceGrid {
  DVector efficiency;            // E(r_i): probability of an acceptor photon
  DVector one_minus_efficiency;  // 1 - E(r_i): probability of a donor photon
};

}  // namespace pelmora
