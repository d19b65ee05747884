#pragma once

#include <string>

namespace pelmora {

struct RunState;

void write_average_trajectory(RunState& state, const std::string& path);

}  // namespace pelmora
