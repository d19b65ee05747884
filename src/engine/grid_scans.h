#pragma once

namespace pelmora {

struct RunState;

// Time of slice j of the output grid of `slices` slices spanning the photon
// record t_first..t_last (mu s): the product first, then divided, then added.
inline double slice_time(double t_first, double t_last, int j, int slices) {
  return t_first + (t_last - t_first) * j / (slices - 1);
}

// Carry the photon rows onto the output time grid (grid_forward, grid_backward).
void forward_scan_grid(RunState& state);
void backward_scan_grid(RunState& state);

// Count the interior slices (or photons) whose distribution reaches the edges
// of the internal grid; both set boundary_artifact_count.
void count_boundary_slices(RunState& state);
void count_boundary_photons(RunState& state);

}  // namespace pelmora
