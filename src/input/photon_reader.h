#pragma once

#include <string>

#include "state/observer.h"
#include "state/photon_list.h"

namespace pelmora {

// Reads a photon file.  Each warning (simultaneous photons) goes to
// `observer` as it is found; errors are thrown (kIo: the file cannot be read;
// kInput: its contents are refused).  The photon count is not checked here:
// check_photon_count (photon_parser.h) does that.
PhotonList read_photon_file(const std::string& path, Observer& observer);

}  // namespace pelmora
