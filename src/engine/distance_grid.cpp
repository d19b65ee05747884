#include "engine/distance_grid.h"

#include "state/distance_distribution.h"

namespace pelmora {

DistanceGrid make_distance_grid(const AnalysisSettings& s) {
  DistanceGrid grid;
  const int bins = s.internal_bins;
  grid.points = {bins, s.internal_rmin, s.internal_rmax};
  grid.one_minus_efficiency = dvector(0, bins + 1);
  grid.efficiency = dvector(0, bins + 1);
  for (int i = 0; i < bins; ++i) {
    double r = grid_point_position(s.internal_rmin, s.internal_rmax, i, bins);
    // Only the efficiency sees the clamp: the grid keeps its negative points,
    // where an acceptor photon is certain and a donor photon rules them out.
    if (r < 0) r = 0;
    const double x = r / s.foerster_radius;
    const double x3 = x * x * x;
    const double x6 = x3 * x3;
    grid.efficiency[i] = 1 / (1 + x6);
    grid.one_minus_efficiency[i] = 1 - grid.efficiency[i];
  }
  return grid;
}

}  // namespace pelmora
