#include "output/distribution_writer.h"

#include "state/run_state.h"

namespace pelmora {

void write_distance_distribution(RunState& state, const std::string& path) { (void)state; (void)path; }

}  // namespace pelmora
