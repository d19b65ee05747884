#pragma once

#include <span>

#include "state/analysis_results.h"

namespace pelmora {

// Whether the normalised product of a forward and a backward row reaches the
// edges of the internal grid: more than 0.01/M at points 1 and M-2 together
// (one hundredth of a flat distribution's value at one point).  `sum` is
// their overlap over all M points; a row pair without overlap counts too.
bool reaches_edges(std::span<const double> forward, std::span<const double> backward, int bins,
                   double sum);

// The user's time slices (1..T-2) of a trajectory whose distribution reaches
// the edges.
int count_boundary_slices(const TrajectoryResult& result);

}  // namespace pelmora
