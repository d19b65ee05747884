#include "input/photon_reader.h"

#include "state/run_state.h"

namespace pelmora {

void read_photon_file(RunState& state, const std::string& path) { (void)state; (void)path; }

}  // namespace pelmora
