#include "engine/likelihood_scan.h"

#include "state/run_state.h"

namespace pelmora {

void likelihood_scan(RunState& state) { (void)state; }

}  // namespace pelmora
