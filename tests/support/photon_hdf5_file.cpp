#include "support/photon_hdf5_file.h"

#include <stdexcept>

namespace pelmora::testing {

namespace {

void check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("could not write the test file: " + what);
}

}  // namespace

void declare_integers(const hdf5::File& file, const std::string& path, hsize_t declared,
                      hsize_t chunk, hsize_t written) {
  const hid_t space = H5Screate_simple(1, &declared, nullptr);
  const hid_t creation = H5Pcreate(H5P_DATASET_CREATE);
  if (chunk > 0) check(H5Pset_chunk(creation, 1, &chunk) >= 0, path);
  const hid_t dataset =
      H5Dcreate2(file.id(), path.c_str(), H5T_STD_I64LE, space, H5P_DEFAULT, creation, H5P_DEFAULT);
  check(dataset >= 0, path);
  if (written > 0) {
    std::vector<std::int64_t> values(written);
    for (hsize_t i = 0; i < written; ++i) values[i] = static_cast<std::int64_t>(i);
    const hsize_t first = 0;
    const hid_t memory = H5Screate_simple(1, &written, nullptr);
    check(H5Sselect_hyperslab(space, H5S_SELECT_SET, &first, nullptr, &written, nullptr) >= 0,
          path);
    check(H5Dwrite(dataset, H5T_NATIVE_INT64, memory, space, H5P_DEFAULT, values.data()) >= 0,
          path);
    H5Sclose(memory);
  }
  H5Dclose(dataset);
  H5Pclose(creation);
  H5Sclose(space);
}

void declare_text(const hdf5::File& file, const std::string& path, std::size_t bytes) {
  const hid_t type = H5Tcopy(H5T_C_S1);
  check(H5Tset_size(type, bytes) >= 0, path);
  const hid_t space = H5Screate(H5S_SCALAR);
  const hid_t dataset =
      H5Dcreate2(file.id(), path.c_str(), type, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
  check(dataset >= 0, path);
  H5Dclose(dataset);
  H5Sclose(space);
  H5Tclose(type);
}

void external_dataset(const hdf5::File& file, const std::string& path, const std::string& outside,
                      hsize_t values, bool text) {
  const hid_t type = text ? H5Tcopy(H5T_C_S1) : H5Tcopy(H5T_STD_I64LE);
  if (text) check(H5Tset_size(type, values) >= 0, path);
  const hid_t space = text ? H5Screate(H5S_SCALAR) : H5Screate_simple(1, &values, nullptr);
  const hid_t creation = H5Pcreate(H5P_DATASET_CREATE);
  check(H5Pset_external(creation, outside.c_str(), 0, text ? values : values * 8) >= 0, path);
  const hid_t dataset =
      H5Dcreate2(file.id(), path.c_str(), type, space, H5P_DEFAULT, creation, H5P_DEFAULT);
  check(dataset >= 0, path);
  H5Dclose(dataset);
  H5Pclose(creation);
  H5Sclose(space);
  H5Tclose(type);
}

void external_link(const hdf5::File& file, const std::string& path, const std::string& other,
                   const std::string& object) {
  check(H5Lcreate_external(other.c_str(), object.c_str(), file.id(), path.c_str(), H5P_DEFAULT,
                           H5P_DEFAULT) >= 0,
        path);
}

void soft_link(const hdf5::File& file, const std::string& path, const std::string& target) {
  check(H5Lcreate_soft(target.c_str(), file.id(), path.c_str(), H5P_DEFAULT, H5P_DEFAULT) >= 0,
        path);
}

void write_photon_hdf5(const std::string& path, const PhotonHdf5Recipe& recipe) {
  hdf5::File file = hdf5::File::create(path);
  write_photon_hdf5(file, recipe);
  file.close();
}

void write_photon_hdf5(const hdf5::File& file, const PhotonHdf5Recipe& recipe) {
  if (recipe.root_format_name) {
    hdf5::write_text_attribute(file, "/", "format_name", *recipe.root_format_name, recipe.encoding);
    hdf5::write_text_attribute(file, "/", "format_version", recipe.version, recipe.encoding);
  }
  if (recipe.identity) {
    hdf5::write_text(file, "/identity/format_name", "Photon-HDF5", recipe.encoding);
    hdf5::write_text(file, "/identity/format_version", recipe.version, recipe.encoding);
  }
  hdf5::Compression compression;
  compression.gzip = recipe.gzip;
  compression.chunk_rows = 4;
  for (const std::string& group : recipe.groups) {
    if (recipe.float_timestamps) {
      const std::vector<double> times(recipe.timestamps.begin(), recipe.timestamps.end());
      hdf5::write_numbers(file, group + "/timestamps", times, compression);
    } else {
      hdf5::write_integers(file, group + "/timestamps", recipe.timestamps, recipe.timestamp_type,
                           compression);
    }
    if (recipe.detectors) {
      hdf5::write_integers(file, group + "/detectors", *recipe.detectors, recipe.detector_type,
                           compression);
    }
    if (recipe.nanotimes) {
      hdf5::write_integers(file, group + "/nanotimes", *recipe.nanotimes,
                           hdf5::IntegerType::kUInt16, compression);
    }
    if (recipe.unit)
      hdf5::write_number(file, group + "/timestamps_specs/timestamps_unit", *recipe.unit);
    const std::string settings = group + "/measurement_specs";
    if (recipe.type) {
      hdf5::write_text(file, settings + "/measurement_type", *recipe.type, recipe.encoding);
    }
    if (recipe.period) {
      if (recipe.period->size() == 1) {
        hdf5::write_number(file, settings + "/alex_period", recipe.period->front());
      } else {
        hdf5::write_numbers(file, settings + "/alex_period", *recipe.period);
      }
    }
    if (recipe.offset) hdf5::write_integers(file, settings + "/alex_offset", *recipe.offset);
    if (recipe.window) {
      hdf5::write_integers(file, settings + "/alex_excitation_period1", *recipe.window);
    }
    const std::string channels = settings + "/detectors_specs";
    if (recipe.donor) {
      if (recipe.donor->size() == 1) {
        hdf5::write_integer(file, channels + "/spectral_ch1", recipe.donor->front(),
                            recipe.detector_type);
      } else {
        hdf5::write_integers(file, channels + "/spectral_ch1", *recipe.donor, recipe.detector_type);
      }
    }
    if (recipe.acceptor) {
      hdf5::write_integers(file, channels + "/spectral_ch2", *recipe.acceptor,
                           recipe.detector_type);
    }
  }
  if (recipe.extra) recipe.extra(file);
}

}  // namespace pelmora::testing
