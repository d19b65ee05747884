#include "engine/distance_grid.h"

#include "state/run_state.h"

namespace pelmora {

void init_distance_grid(RunState& state) { (void)state; }
void init_fft_arrays(RunState& state) { (void)state; }

}  // namespace pelmora
