#pragma once

#include <string>

namespace pelmora {

struct RunState;

// Reads the photon file into state.photons and prints the reader's lines;
// every error ends the process through fatal_exit.
void read_photon_file(RunState& state, const std::string& path);

}  // namespace pelmora
