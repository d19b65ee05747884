#include "engine/boundary_check.h"

#include "engine/distance_distribution.h"
#include "state/run_state.h"

namespace pelmora {

bool reaches_edges(std::span<const double> forward, std::span<const double> backward, int bins,
                   double sum) {
  if (!(sum > 0)) return true;
  const double edge = distance_probability(forward[1], backward[1], sum) +
                      distance_probability(forward[bins - 2], backward[bins - 2], sum);
  return edge > 0.01 / bins;
}

void count_boundary_slices(RunState& state) {
  const int bins = state.settings.internal_bins;
  state.boundary_artifact_count = 0;
  for (int j = 1; j <= state.settings.internal_time_bins - 2; ++j) {
    const std::span<const double> forward = state.grid_forward.row_span(j);
    const std::span<const double> backward = state.grid_backward.row_span(j);
    if (reaches_edges(forward, backward, bins, overlap_sum(forward, backward, bins))) {
      ++state.boundary_artifact_count;
    }
  }
}

}  // namespace pelmora
