// The Photon-HDF5 reader on a file that is open already (one built in
// memory, for instance): everything read_photon_hdf5 reads but the size of
// the file on disk.
#pragma once

#include "hdf5/file.h"
#include "input/measurement.h"

namespace pelmora {

Measurement read_photon_hdf5_file(const hdf5::File& file,
                                  const MeasurementOverrides& overrides = {});

}  // namespace pelmora
