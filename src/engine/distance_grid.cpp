#include "engine/distance_grid.h"

#include "state/distance_distribution.h"

namespace pelmora {

DistanceGrid make_distance_grid(const AnalysisSettings& s) {
  return grid_with_efficiency({s.internal_bins, s.internal_rmin, s.internal_rmax},
                              s.foerster_radius);
}

DistanceGrid grid_with_efficiency(const PropagationGrid& points, double foerster_radius) {
  DistanceGrid grid;
  const int bins = points.bins;
  grid.points = points;
  grid.one_minus_efficiency = dvector(0, bins + 1);
  grid.efficiency = dvector(0, bins + 1);
  for (int i = 0; i < bins; ++i) {
    double r = grid_point_position(points.rmin, points.rmax, i, bins);
    // Only the efficiency sees the clamp: the grid keeps its negative points,
    // where an acceptor photon is certain and a donor photon rules them out.
    if (r < 0) r = 0;
    const double x = r / foerster_radius;
    const double x3 = x * x * x;
    const double x6 = x3 * x3;
    grid.efficiency[i] = 1 / (1 + x6);
    grid.one_minus_efficiency[i] = 1 - grid.efficiency[i];
  }
  return grid;
}

}  // namespace pelmora
