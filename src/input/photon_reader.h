#pragma once

#include <string>

namespace pelmora {

struct RunState;

// Reads the photon file into state.photons and prints the reader's lines;
// every error is thrown as an Error.
void read_photon_file(RunState& state, const std::string& path);

}  // namespace pelmora
