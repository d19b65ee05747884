// Small Photon-HDF5 files written field by field, for reader tests that
// need a file the simulator would never write (a missing field, a wrong
// type, a stored layout of another writer).
#pragma once

#include <hdf5.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hdf5/file.h"
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
  // Called last, before the file is closed: what the fields above cannot
  // say (a dataset that declares more than it stores, links, ...).
  std::function<void(const hdf5::File&)> extra;
};

void write_photon_hdf5(const std::string& path, const PhotonHdf5Recipe& recipe);
// Into a file that is open (one in memory, for instance).
void write_photon_hdf5(const hdf5::File& file, const PhotonHdf5Recipe& recipe);

// Hostile storage, written past the wrapper's checks.
//
// A 1-D int64 dataset declaring `declared` values in chunks of `chunk`
// values (contiguous for chunk 0); its first `written` values are written
// (value = index), the rest left to fill values.
void declare_integers(const hdf5::File& file, const std::string& path, hsize_t declared,
                      hsize_t chunk, hsize_t written = 0);
// A scalar fixed-length string dataset declaring `bytes` bytes, never written.
void declare_text(const hdf5::File& file, const std::string& path, std::size_t bytes);
// A dataset of `values` int64 (or, with `text`, one string of `values`
// bytes) whose bytes HDF5 takes from the file `outside` (external storage).
void external_dataset(const hdf5::File& file, const std::string& path, const std::string& outside,
                      hsize_t values, bool text = false);
// Links at `path`: to `object` in the file `other`, or to `target` within.
void external_link(const hdf5::File& file, const std::string& path, const std::string& other,
                   const std::string& object);
void soft_link(const hdf5::File& file, const std::string& path, const std::string& target);

}  // namespace pelmora::testing
