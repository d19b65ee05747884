#include "engine/grid_scans.h"

#include "state/run_state.h"

namespace pelmora {

void forward_scan_grid(RunState& state) { (void)state; }
void backward_scan_grid(RunState& state) { (void)state; }
void count_boundary_slices(RunState& state) { state.boundary_artifact_count = 0; }
void count_boundary_photons(RunState& state) { state.boundary_artifact_count = 0; }

}  // namespace pelmora
