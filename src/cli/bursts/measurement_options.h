// What several pelmora-bursts commands share: the options that correct a
// measurement's metadata, the burst search's options, the analysis options
// as pelmora takes them, and whether a file is a Photon-HDF5 one.
#pragma once

#include <string>
#include <vector>

#include "cli/bursts/arguments.h"
#include "pelmora/measurement.h"

namespace pelmora::bursts_cli {

// --spot, --type, --alex-period, --alex-offset, --donor-window START:STOP.
MeasurementOverrides measurement_overrides(const Arguments& arguments);

// --m, --F, --min-rate (kHz), --min-photons, --bg-window (s), --search
// apbs|dcbs, and the corrections for the bursts' E and S.
BurstSearchOptions search_options(const Arguments& arguments);

// --gamma, --leakage, --dir-ex, --beta (1, 0, 0, 1 when not given);
// refused (kOption, naming the option) out of their ranges.
FretCorrections fret_corrections(const Arguments& arguments);

// Every --where COLUMN=LO:HI, in the order given.
std::vector<BurstRange> burst_ranges(const Arguments& arguments);

// The warning of single-colour-looking bursts, with the option that
// selects them away.
std::string stoichiometry_text(const StoichiometryWarning& warning);

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
