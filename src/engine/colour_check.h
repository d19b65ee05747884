#pragma once

#include <optional>
#include <string>

#include "state/distance_grid.h"
#include "state/photon_list.h"

namespace pelmora {

// Why `photons` cannot be analysed on `grid` at all, if they cannot: donor
// photons when the FRET efficiency is 1 at every grid point (a distance range
// wholly at or below 0 nm), acceptor photons when it is 0 everywhere.  Every
// pass would otherwise lose its whole distribution at the first such photon.
// The message is the error's text.
std::optional<std::string> impossible_colours(const DistanceGrid& grid, const PhotonList& photons);

// Throws impossible_colours' message as an Error of kind kInput.
void check_photon_colours(const DistanceGrid& grid, const PhotonList& photons);

}  // namespace pelmora
