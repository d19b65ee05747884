// What a spot's measurement_specs group says about its photons, after the
// user's overrides: the measurement type, the donor and acceptor detectors
// and how donor excitation is recognised.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hdf5/file.h"
#include "input/measurement.h"

namespace pelmora {

enum class ExcitationScheme { kDonorOnly, kMicrosecondAlex, kNanosecondAlex };

struct MeasurementSettings {
  std::string measurement_type;         // in use
  std::string stored_measurement_type;  // as the file names it; empty when it names none
  ExcitationScheme scheme = ExcitationScheme::kDonorOnly;
  std::vector<std::int64_t> donor_detectors;     // spectral_ch1
  std::vector<std::int64_t> acceptor_detectors;  // spectral_ch2
  std::optional<AlexSettings> alex;
};

// `group` is the spot's /photon_data group.  A file without
// group/detectors has one detector; then one of spectral_ch1 and
// spectral_ch2 may be absent, and between them they must name exactly that
// detector.
MeasurementSettings read_measurement_settings(const hdf5::File& file, const std::string& group,
                                              bool has_detectors,
                                              const MeasurementOverrides& overrides);

}  // namespace pelmora
