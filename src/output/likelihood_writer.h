#pragma once

#include <string>

#include "output/stop_request.h"

namespace pelmora {

struct RunState;

// Writes "D P(D)" per run of the likelihood scan, in run order.
void write_likelihood(RunState& state, const std::string& path, const StopRequest& stop = {});

}  // namespace pelmora
