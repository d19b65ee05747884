#pragma once

#include "pelmora/machine_options.h"

namespace pelmora {

struct RunState;

// Thin layer: sets state.engine from the environment and the machine; an
// invalid PELMORA_THREADS is thrown as kOption.
void configure_engine(RunState& state);

}  // namespace pelmora
