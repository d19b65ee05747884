// The photons of one spot, read block by block so that only the kept
// photons (an int64 timestamp and a flag byte each) stay in memory.
#pragma once

#include <string>

#include "hdf5/file.h"
#include "input/measurement.h"
#include "input/photon_hdf5_settings.h"

namespace pelmora {

// Fills measurement.timestamps and .flags with the donor- and acceptor-
// channel photons of `group`, and description.detectors, first_timestamp
// and last_timestamp from all its photons.  Refuses decreasing timestamps,
// arrays of different lengths, and a spot without donor or acceptor photons.
void read_photons(const hdf5::File& file, const std::string& group,
                  const MeasurementSettings& settings, Measurement& measurement);

}  // namespace pelmora
