// Photon-HDF5 measurements (format versions 0.4 and 0.5): one spot of the
// file read into a Measurement.  Every refusal is an Error that names the
// file and what is wrong with it (kIo for a file that cannot be read at all,
// kInput for anything about its contents).
#pragma once

#include <string>

#include "input/measurement.h"

namespace pelmora {

Measurement read_photon_hdf5(const std::string& path, const MeasurementOverrides& overrides = {});

}  // namespace pelmora
