#include "input/photon_hdf5.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "hdf5/dataset.h"
#include "hdf5/failure.h"
#include "hdf5/file.h"
#include "input/photon_hdf5_file.h"
#include "input/photon_hdf5_format.h"
#include "input/photon_hdf5_photons.h"
#include "input/photon_hdf5_settings.h"

namespace pelmora {

namespace {

double read_timestamps_unit(const hdf5::File& file, const std::string& group) {
  const std::string path = group + "/timestamps_specs/timestamps_unit";
  const double unit = hdf5::read_number(file, path);
  if (!(std::isfinite(unit) && unit > 0)) {
    char value[64];
    std::snprintf(value, sizeof value, "%g", unit);
    hdf5::refuse_contents(path + " in file " + file.path() + " is " + value +
                          "; it must be a positive finite number of seconds.");
  }
  return unit;
}

}  // namespace

Measurement read_photon_hdf5(const std::string& path, const MeasurementOverrides& overrides) {
  Measurement measurement = read_photon_hdf5_file(hdf5::File::open(path), overrides);
  std::error_code size_error;
  measurement.description.file_size = std::filesystem::file_size(path, size_error);
  return measurement;
}

Measurement read_photon_hdf5_file(const hdf5::File& file, const MeasurementOverrides& overrides) {
  Measurement measurement;
  MeasurementDescription& description = measurement.description;
  description.path = file.path();
  description.format_version = photon_hdf5_version(file);

  const SpotChoice spot = choose_spot(file, overrides.spot);
  description.spots = spot.spots;
  description.spot = spot.spot;
  description.timestamps_unit = read_timestamps_unit(file, spot.group);

  const bool has_detectors = file.exists(spot.group + "/detectors");
  const MeasurementSettings settings =
      read_measurement_settings(file, spot.group, has_detectors, overrides);
  description.measurement_type = settings.measurement_type;
  description.stored_measurement_type = settings.stored_measurement_type;
  description.donor_detectors = settings.donor_detectors;
  description.acceptor_detectors = settings.acceptor_detectors;
  description.alex = settings.alex;

  read_photons(file, spot.group, settings, measurement);
  return measurement;
}

}  // namespace pelmora
