#include "support/photon_hdf5_file.h"

#include "hdf5/file.h"

namespace pelmora::testing {

void write_photon_hdf5(const std::string& path, const PhotonHdf5Recipe& recipe) {
  hdf5::File file = hdf5::File::create(path);
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
  file.close();
}

}  // namespace pelmora::testing
