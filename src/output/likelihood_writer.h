#pragma once

#include <string>

namespace pelmora {

struct RunState;

// Writes "D P(D)" per run of the likelihood scan, in run order.
void write_likelihood(RunState& state, const std::string& path);

}  // namespace pelmora
