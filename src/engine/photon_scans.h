#pragma once

namespace pelmora {

struct RunState;

// The forward and backward passes over the photon record; they fill
// photon_forward and photon_backward.
void forward_scan_photons(RunState& state);
void backward_scan_photons(RunState& state);

}  // namespace pelmora
