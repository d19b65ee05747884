#pragma once

#include <string>

namespace pelmora {

struct RunState;

void write_likelihood(RunState& state, const std::string& path);

}  // namespace pelmora
