#pragma once

#include <string>

#include "output/stop_request.h"

namespace pelmora {

struct RunState;

void write_average_trajectory(RunState& state, const std::string& path,
                              const StopRequest& stop = {});

}  // namespace pelmora
