#include "engine/photon_scans.h"

#include "state/run_state.h"

namespace pelmora {

void forward_scan_photons(RunState& state) { (void)state; }
void backward_scan_photons(RunState& state) { (void)state; }

}  // namespace pelmora
