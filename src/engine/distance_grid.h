#pragma once

#include "state/analysis_settings.h"
#include "state/distance_grid.h"

namespace pelmora {

// The internal grid of `settings` with the FRET efficiency E(r) = 1 / (1 +
// (r/R0)^6) and 1 - E(r) at every point.
DistanceGrid make_distance_grid(const AnalysisSettings& settings);

// The grid of `points` with E(r) and 1 - E(r) for Foerster radius R0 (nm);
// points below 0 nm take the efficiency of 0 nm.
DistanceGrid grid_with_efficiency(const PropagationGrid& points, double foerster_radius);

}  // namespace pelmora
