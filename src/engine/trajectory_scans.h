#pragma once

namespace pelmora {

struct RunState;

// Trajectory mode: the forward and backward passes over the photons, and the
// rows of both on the output time grid (grid_forward, grid_backward), with
// the console text of the four scans (photons forward, photons backward,
// grid forward, grid backward) in that order.
//
// Each slice is propagated from its photon's row while the pass goes by that
// photon, so no photon row outlives its use.  With two or more threads the
// backward pass runs beside the forward one and its console text is shown
// after the forward pass is done; the text is the same either way.  A
// vanished distribution ends the run with the error the scans would have
// reported one after the other.
void run_trajectory_scans(RunState& state);

}  // namespace pelmora
