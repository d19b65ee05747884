// One spot of a recorded measurement (a Photon-HDF5 file), reduced to what
// burst search and burst analysis need: the photons of the donor and the
// acceptor channel in time order, each with its colour and whether the donor
// laser excited it.  Photons of any other detector (markers, monitors) are
// counted in the description and otherwise dropped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pelmora {

// Bits of Measurement::flags.
inline constexpr std::uint8_t kAcceptorChannel = 1;  // set: acceptor channel; clear: donor
inline constexpr std::uint8_t kDonorExcitation = 2;  // set: excited by the donor laser

inline bool is_acceptor(std::uint8_t flags) {
  return (flags & kAcceptorChannel) != 0;
}
inline bool is_donor_excited(std::uint8_t flags) {
  return (flags & kDonorExcitation) != 0;
}

// Photons that one detector id recorded, over the whole spot.
struct DetectorCount {
  std::int64_t detector = 0;
  std::int64_t photons = 0;
  std::int64_t donor_excited = 0;  // of which in the donor-excitation periods
};

// How the donor-excitation photons are told apart.
struct AlexSettings {
  // smFRET-usALEX: a = (timestamp - offset) mod period, taken non-negative; a
  // photon is donor-excited when start <= a < stop, or (stop < start, a window
  // that wraps) when a >= start or a < stop.  In timestamp units.
  std::int64_t period = 0;
  std::int64_t offset = 0;
  std::int64_t donor_start = 0;
  std::int64_t donor_stop = 0;
  // smFRET-nsALEX: donor-excited when the nanotime lies in one of these
  // [start, stop) pairs.  In nanotime units.
  std::vector<std::pair<std::int64_t, std::int64_t>> nanotime_windows;
};

// What the file says about the measurement, after any override of the user.
struct MeasurementDescription {
  std::string path;                     // the file as named by the user
  std::uintmax_t file_size = 0;         // bytes
  std::string format_version;           // "0.4", "0.5", ...
  std::string measurement_type;         // in use: "smFRET", "smFRET-usALEX" or "smFRET-nsALEX"
  std::string stored_measurement_type;  // as the file names it, before an override
  // Spot numbers N of the /photon_dataN groups of a multi-spot file, ascending;
  // empty for a file with a single /photon_data group.
  std::vector<int> spots;
  std::optional<int> spot;                       // the spot read, for a multi-spot file
  double timestamps_unit = 0;                    // seconds per timestamp tick, positive and finite
  std::vector<std::int64_t> donor_detectors;     // spectral_ch1
  std::vector<std::int64_t> acceptor_detectors;  // spectral_ch2
  std::optional<AlexSettings> alex;              // for the two ALEX types
  std::vector<DetectorCount> detectors;          // every detector id seen, ascending
  std::int64_t first_timestamp = 0;              // of all photons of the spot
  std::int64_t last_timestamp = 0;
};

// Whether the measurement alternates a second laser that excites the
// acceptor (µs-ALEX, ns-ALEX): only then are there acceptor-excitation
// photons, the n_aa stream and the stoichiometry S.
inline bool has_acceptor_excitation(const MeasurementDescription& description) {
  return description.alex.has_value();
}

// later - earlier in timestamp units, for two timestamps of a measurement.
// Timestamps span the whole int64 range, so their difference may not fit
// it; taken in unsigned arithmetic it is exact before the conversion, which
// rounds only spans beyond 2^53 ticks (where int64 arithmetic would have
// overflowed or rounded the same way).
inline double ticks_between(std::int64_t earlier, std::int64_t later) {
  const auto from = static_cast<std::uint64_t>(earlier);
  const auto to = static_cast<std::uint64_t>(later);
  return later >= earlier ? static_cast<double>(to - from) : -static_cast<double>(from - to);
}

struct Measurement {
  MeasurementDescription description;
  // Donor- and acceptor-channel photons only, in file order (non-decreasing).
  std::vector<std::int64_t> timestamps;
  std::vector<std::uint8_t> flags;  // kAcceptorChannel | kDonorExcitation, per photon

  double seconds(std::size_t photon) const {
    return static_cast<double>(timestamps[photon]) * description.timestamps_unit;
  }
};

// Corrections for files whose metadata are wrong or missing.
struct MeasurementOverrides {
  std::optional<std::string> measurement_type;
  std::optional<std::int64_t> alex_period;
  std::optional<std::int64_t> alex_offset;
  std::optional<std::pair<std::int64_t, std::int64_t>> donor_window;  // usALEX [start, stop]
  std::optional<int> spot;
};

}  // namespace pelmora
