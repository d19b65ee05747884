// One burst written as a photon file of the single-record program, so that
// a burst can be looked at (trajectory mode, pictures) on its own.  Reading
// the file back gives exactly the times of BurstPhotons, float for float.
#pragma once

#include <string>

#include "bursts/burst_photons.h"
#include "output/stop_request.h"

namespace pelmora {

// Records "index 0 time code 0 0 0 0" (index from 1, code 0 donor, 4
// acceptor), closed by the end marker.  Each time is the shortest text that
// reads back as the same float.
std::string burst_photon_text(const BurstPhotons& photons);

// Writes burst_photon_text() to `path`; a failure throws kIo, and `stop`
// saying stop kCancelled, and either leaves the earlier file as it was.
void write_burst_photon_file(const std::string& path, const BurstPhotons& photons,
                             StopRequest stop = {});

}  // namespace pelmora
