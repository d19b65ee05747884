// The file-level questions of a Photon-HDF5 file: is it one, of which
// version, and which /photon_data group holds the spot to read.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hdf5/file.h"

namespace pelmora {

// The format version the file states ("0.4", "0.5", "0.5rc1", ...): the root
// group's attributes format_name and format_version, as versions 0.4 and 0.5
// write them, or else /identity/format_name and /identity/format_version,
// which every version writes.  Refuses files that are not Photon-HDF5 and
// versions other than 0.4 and 0.5.
std::string photon_hdf5_version(const hdf5::File& file);

struct SpotChoice {
  std::string group;        // "/photon_data" or "/photon_dataN"
  std::vector<int> spots;   // N of every /photon_dataN, ascending; empty for one spot
  std::optional<int> spot;  // the spot read, for a multi-spot file
};

// A single-spot file has /photon_data, a multi-spot file /photon_data0,
// /photon_data1, ... (with gaps allowed).  Spot 0 of a single-spot file is
// its one spot, as multi-spot readers number it.
SpotChoice choose_spot(const hdf5::File& file, std::optional<int> spot);

}  // namespace pelmora
