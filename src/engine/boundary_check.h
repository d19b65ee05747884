#pragma once

#include <span>

namespace pelmora {

struct RunState;

// Whether the normalised product of a forward and a backward row reaches the
// edges of the internal grid: more than 0.01/M at points 1 and M-2 together
// (one hundredth of a flat distribution's value at one point).  `sum` is
// their overlap over all M points; a row pair without overlap counts too.
bool reaches_edges(std::span<const double> forward, std::span<const double> backward, int bins,
                   double sum);

// Counts the user's time slices whose distribution reaches the edges and
// stores the count in boundary_artifact_count.
void count_boundary_slices(RunState& state);

}  // namespace pelmora
