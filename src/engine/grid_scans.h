#pragma once

namespace pelmora {

struct RunState;

// Carry the photon rows onto the output time grid (grid_forward, grid_backward).
void forward_scan_grid(RunState& state);
void backward_scan_grid(RunState& state);

// Count the interior slices (or photons) whose distribution reaches the edges
// of the internal grid; both set boundary_artifact_count.
void count_boundary_slices(RunState& state);
void count_boundary_photons(RunState& state);

}  // namespace pelmora
