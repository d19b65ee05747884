// What several pelmora-bursts commands share: the options that correct a
// measurement's metadata, the burst search's options, the analysis options
// as pelmora takes them, and whether a file is a Photon-HDF5 one.
#pragma once

#include <string>

#include "cli/bursts/arguments.h"
#include "pelmora/measurement.h"

namespace pelmora::bursts_cli {

// --spot, --type, --alex-period, --alex-offset, --donor-window START:STOP.
MeasurementOverrides measurement_overrides(const Arguments& arguments);

// --m, --F, --min-rate (kHz), --min-photons, --bg-window (s).
BurstSearchOptions search_options(const Arguments& arguments);

// -R, -min, -max, -d, -Dmin, -Dmax, -n with pelmora's own meaning, defaults
// and messages (the coefficients those of pelmora's scan mode), and
// --model and --background; -min and -max with a confined model are
// refused, since its grid is its own support.
ScanRequest scan_request(const Arguments& arguments);

// Whether a file starts with the HDF5 signature (false when it cannot be
// read: its reader says why).  A name that is not a regular file (a pipe,
// a device, a folder) is refused (kIo) before it is opened.
bool is_hdf5_file(const std::string& path);

}  // namespace pelmora::bursts_cli
