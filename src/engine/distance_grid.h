#pragma once

#include "state/analysis_settings.h"
#include "state/distance_grid.h"

namespace pelmora {

// The internal grid of `settings` with the FRET efficiency E(r) = 1 / (1 +
// (r/R0)^6) and 1 - E(r) at every point.
DistanceGrid make_distance_grid(const AnalysisSettings& settings);

}  // namespace pelmora
