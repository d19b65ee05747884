#include "engine/boundary_check.h"

#include "state/distance_distribution.h"
#include "state/written_slices.h"

namespace pelmora {

bool reaches_edges(std::span<const double> forward, std::span<const double> backward, int bins,
                   double sum) {
  if (!(sum > 0)) return true;
  const double edge = distance_probability(forward[1], backward[1], sum) +
                      distance_probability(forward[bins - 2], backward[bins - 2], sum);
  return edge > 0.01 / bins;
}

int count_boundary_slices(const TrajectoryResult& result) {
  const WrittenSlices slices(result);
  int count = 0;
  for (int i = slices.first(); i <= slices.last(); ++i) {
    if (reaches_edges(slices.forward(i), slices.backward(i), slices.bins(), slices.overlap(i))) {
      ++count;
    }
  }
  return count;
}

}  // namespace pelmora
