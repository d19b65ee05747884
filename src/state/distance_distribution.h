// The distance distribution P(r,t) of one time slice (or one photon) is never
// stored: it is the product of the forward and the backward row, divided by
// the sum of that product over all M internal grid points.  Every consumer
// forms it through these helpers, so that all of them round alike.
#pragma once

#include <span>

namespace pelmora {

// Position of internal grid point i in nm: the product is formed first, then
// divided, then the lower end is added.
inline double grid_point_position(double rmin, double rmax, int i, int bins) {
  return rmin + (rmax - rmin) * i / (bins - 1);
}

// S = sum over k = 0..M-1 of forward[k] * backward[k], added in ascending order.
inline double overlap_sum(std::span<const double> forward, std::span<const double> backward,
                          int bins) {
  double sum = 0.0;
  for (int k = 0; k < bins; ++k) sum += forward[k] * backward[k];
  return sum;
}

// P(r_k, t) = forward[k] * backward[k] / S.
inline double distance_probability(double forward, double backward, double sum) {
  return forward * backward / sum;
}

}  // namespace pelmora
