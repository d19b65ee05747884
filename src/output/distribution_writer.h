#pragma once

#include <string>

namespace pelmora {

struct RunState;

void write_distance_distribution(RunState& state, const std::string& path);

}  // namespace pelmora
