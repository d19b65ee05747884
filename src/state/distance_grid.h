#pragma once

#include "numeric/indexed_array.h"
#include "state/photon_list.h"

namespace pelmora {

// The internal distance grid as the propagator sees it: M points evenly
// spaced from rmin to rmax.  Point i lies at rmin + (rmax - rmin) * i / (M - 1)
// nm and is never stored.
struct PropagationGrid {
  int bins = 0;       // M, internal grid points 0..M-1
  double rmin = 0.0;  // nm, position of point 0
  double rmax = 0.0;  // nm, position of point M-1
};

// The grid with the colour probabilities of every point, both over 0..M+1
// (0-based); entries 0..M-1 are used.  Read-only once built, so that any
// number of passes on any threads can share one.
struct DistanceGrid {
  PropagationGrid points;
  DVector efficiency;            // E(r_i): probability of an acceptor photon
  DVector one_minus_efficiency;  // 1 - E(r_i): probability of a donor photon

  // How likely a photon of this type is at each grid point.
  const DVector& colour_probability(int photon_type) const {
    return photon_type == kDonorPhoton ? one_minus_efficiency : efficiency;
  }
};

}  // namespace pelmora
