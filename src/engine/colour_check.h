#pragma once

namespace pelmora {

struct RunState;

// Refuses a photon record whose colours the internal grid cannot explain at
// all: donor photons when the FRET efficiency is 1 at every grid point (a
// distance range wholly at or below 0 nm), acceptor photons when it is 0
// everywhere.  Every scan would otherwise lose its whole distribution at the
// first such photon.  Throws the error as kInput.
void check_photon_colours(RunState& state);

}  // namespace pelmora
