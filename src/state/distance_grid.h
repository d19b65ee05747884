#pragma once

#include <memory>

#include "numeric/indexed_array.h"
#include "state/diffusion_modes.h"
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
  // The probability of an acceptor and of a donor photon at each point: E(r_i)
  // and 1 - E(r_i), or with the setup's corrections P*(A | r_i) and
  // P*(D | r_i) (engine/corrected_colours.h).
  DVector efficiency;
  DVector one_minus_efficiency;
  // A confined model's decomposition; none for free diffusion.  With one,
  // the points are the centres of the model's cells, the chains start from
  // P_eq times the first colour and forward times backward is divided by
  // P_eq wherever the two passes meet.
  std::shared_ptr<const DiffusionModes> modes;

  // How likely a photon of this type is at each grid point.
  const DVector& colour_probability(int photon_type) const {
    return photon_type == kDonorPhoton ? one_minus_efficiency : efficiency;
  }
};

// How likely a photon of this type of this record is at each grid point:
// the record's own mixed colours when it has them, else the grid's.
inline const DVector& colour_probability(const DistanceGrid& grid, const PhotonList& photons,
                                         int photon_type) {
  if (photons.colours) {
    return photon_type == kDonorPhoton ? photons.colours->donor : photons.colours->acceptor;
  }
  return grid.colour_probability(photon_type);
}

}  // namespace pelmora
