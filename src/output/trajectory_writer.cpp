#include "output/trajectory_writer.h"

#include "state/run_state.h"

namespace pelmora {

void write_average_trajectory(RunState& state, const std::string& path) { (void)state; (void)path; }

}  // namespace pelmora
