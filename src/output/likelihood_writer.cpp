#include "output/likelihood_writer.h"

#include "state/run_state.h"

namespace pelmora {

void write_likelihood(RunState& state, const std::string& path) { (void)state; (void)path; }

}  // namespace pelmora
