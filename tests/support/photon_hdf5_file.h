// Small Photon-HDF5 files written field by field, for reader tests that
// need a file the simulator would never write (a missing field, a wrong
// type, a stored layout of another writer).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hdf5/write.h"

namespace pelmora::testing {

struct PhotonHdf5Recipe {
  std::optional<std::string> root_format_name = "Photon-HDF5";  // none: no root attributes
  std::string version = "0.5";
  bool identity = true;  // /identity/format_name and format_version
  std::vector<std::string> groups = {"/photon_data"};
  std::vector<std::int64_t> timestamps = {10, 20, 30, 40, 50, 60};
  hdf5::IntegerType timestamp_type = hdf5::IntegerType::kInt64;
  bool float_timestamps = false;  // stored as doubles, which no writer may do
  std::optional<std::vector<std::int64_t>> detectors = std::vector<std::int64_t>{0, 1, 0, 7, 1, 0};
  hdf5::IntegerType detector_type = hdf5::IntegerType::kUInt8;
  std::optional<std::vector<std::int64_t>> nanotimes;
  std::optional<double> unit = 12.5e-9;
  std::optional<std::string> type = "smFRET";
  hdf5::StringEncoding encoding = hdf5::StringEncoding::kNulTerminated;
  std::optional<std::vector<std::int64_t>> donor = std::vector<std::int64_t>{0};
  std::optional<std::vector<std::int64_t>> acceptor = std::vector<std::int64_t>{1};
  std::optional<std::vector<double>> period;  // stored as float when given here
  std::optional<std::vector<std::int64_t>> offset;
  std::optional<std::vector<std::int64_t>> window;  // alex_excitation_period1
  bool gzip = false;
};

void write_photon_hdf5(const std::string& path, const PhotonHdf5Recipe& recipe);

}  // namespace pelmora::testing
