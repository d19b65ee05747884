// One propagation step on a grid, whichever model it carries.
#pragma once

#include <span>

#include "engine/confined_propagator.h"
#include "engine/propagator.h"
#include "state/distance_grid.h"

namespace pelmora {

[[nodiscard]] inline bool diffusion_step(FftWorkspace& workspace, const DistanceGrid& grid,
                                         double diff_coeff, std::span<const double> source,
                                         std::span<double> destination, double dt) {
  if (grid.modes) {
    return propagate_confined(workspace, *grid.modes, diff_coeff, source, destination, dt);
  }
  return propagate(workspace, grid.points, diff_coeff, source, destination, dt);
}

}  // namespace pelmora
