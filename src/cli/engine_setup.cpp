#include "cli/engine_setup.h"

#include "cli/run_state.h"

namespace pelmora {

void configure_engine(RunState& state) {
  state.engine = engine_options_for_this_machine();
}

}  // namespace pelmora
