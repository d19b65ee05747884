#include "input/photon_hdf5_settings.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "base/printable_text.h"
#include "hdf5/dataset.h"
#include "hdf5/failure.h"

namespace pelmora {

namespace {

const std::string kSmFret = "smFRET";
const std::string kUsAlex = "smFRET-usALEX";
const std::string kNsAlex = "smFRET-nsALEX";

// The most detector ids a channel may list: multi-pixel detectors have
// hundreds; a declared size beyond this is damage, refused before reading.
constexpr std::size_t kMaxDetectorIds = 4096;
// The most (start, stop) nanotime windows of an ns-ALEX excitation period.
constexpr std::size_t kMaxNanotimeWindows = 1024;

// Integers, or floating-point numbers that are whole (some writers store
// ALEX settings as floats): at most max_values of them, `expected` naming
// the shape in the refusal of a dataset that declares more.
std::vector<std::int64_t> whole_numbers(const hdf5::File& file, const std::string& path,
                                        std::size_t max_values, const std::string& expected) {
  const hdf5::Dataset dataset(file, path);
  if (dataset.type_class() == H5T_INTEGER) {
    return hdf5::read_integers(dataset, max_values, expected);
  }
  const std::vector<double> values = hdf5::read_numbers(dataset, max_values, expected);
  std::vector<std::int64_t> whole;
  whole.reserve(values.size());
  for (const double value : values) {
    // 2^63 itself is out of range; every double below it converts exactly.
    if (!(std::floor(value) == value && std::fabs(value) < 0x1p63)) {
      hdf5::refuse_mistyped(file.path(), path, "made of whole numbers");
    }
    whole.push_back(static_cast<std::int64_t>(value));
  }
  return whole;
}

std::int64_t whole_number(const hdf5::File& file, const std::string& path) {
  const std::string expected = "a single number";
  const std::vector<std::int64_t> values = whole_numbers(file, path, 1, expected);
  if (values.size() != 1) hdf5::refuse_mistyped(file.path(), path, expected);
  return values[0];
}

std::vector<std::int64_t> detector_ids(const hdf5::File& file, const std::string& path) {
  return hdf5::read_integers(
      hdf5::Dataset(file, path), kMaxDetectorIds,
      "a list of at most " + std::to_string(kMaxDetectorIds) + " detector ids");
}

std::string id_list(const std::vector<std::int64_t>& ids) {
  std::string text;
  for (const std::int64_t id : ids) text += (text.empty() ? "" : ", ") + std::to_string(id);
  return text;
}

void read_channels(const hdf5::File& file, const std::string& group, bool has_detectors,
                   MeasurementSettings& settings) {
  const std::string base = group + "/measurement_specs/detectors_specs/";
  const std::string donor_path = base + "spectral_ch1";
  const std::string acceptor_path = base + "spectral_ch2";
  const bool donor = file.exists(donor_path);
  const bool acceptor = file.exists(acceptor_path);
  if (!donor && (has_detectors || !acceptor)) hdf5::refuse_missing(file.path(), donor_path);
  if (!acceptor && has_detectors) hdf5::refuse_missing(file.path(), acceptor_path);
  if (donor) settings.donor_detectors = detector_ids(file, donor_path);
  if (acceptor) settings.acceptor_detectors = detector_ids(file, acceptor_path);

  for (const std::int64_t id : settings.donor_detectors) {
    if (std::find(settings.acceptor_detectors.begin(), settings.acceptor_detectors.end(), id) !=
        settings.acceptor_detectors.end()) {
      hdf5::refuse_contents("File " + file.path() + " names detector " + std::to_string(id) +
                            " both donor (spectral_ch1) and acceptor (spectral_ch2) channel.");
    }
  }
  if (!has_detectors) {
    std::vector<std::int64_t> named = settings.donor_detectors;
    named.insert(named.end(), settings.acceptor_detectors.begin(),
                 settings.acceptor_detectors.end());
    std::sort(named.begin(), named.end());
    named.erase(std::unique(named.begin(), named.end()), named.end());
    if (named.size() != 1) {
      hdf5::refuse_contents("File " + file.path() + " has no " + group +
                            "/detectors, which only a measurement with one detector may omit, "
                            "but its detector channels name " +
                            (named.empty() ? std::string("none") : id_list(named)) + ".");
    }
  }
}

// A setting that the measurement type needs and the format leaves optional,
// with no default of its own: the refusal says which option supplies it.
void require_setting(const hdf5::File& file, const std::string& path, const std::string& what,
                     const std::string& option) {
  if (file.exists(path)) return;
  hdf5::refuse_contents("File " + file.path() + " has no " + path + " (" + what +
                        "); give it with " + option + ".");
}

void check_period(const hdf5::File& file, std::int64_t period, const std::string& source) {
  if (period <= 0) {
    hdf5::refuse_contents("The ALEX period of file " + file.path() + " is " +
                          std::to_string(period) + " (" + source + "); it must be positive.");
  }
}

AlexSettings read_microsecond_alex(const hdf5::File& file, const std::string& settings_group,
                                   const MeasurementOverrides& overrides) {
  AlexSettings alex;
  const std::string period_path = settings_group + "/alex_period";
  if (overrides.alex_period) {
    alex.period = *overrides.alex_period;
    check_period(file, alex.period, "as given");
  } else {
    require_setting(file, period_path, "the alternation period",
                    "--alex-period TICKS (alex_period in Python)");
    alex.period = whole_number(file, period_path);
    check_period(file, alex.period, period_path);
  }
  // The format defines the alternation phase as (timestamp - alex_offset)
  // mod alex_period and leaves the offset optional: without one the
  // timestamps are not shifted (0), as the field's readers take it.
  const std::string offset_path = settings_group + "/alex_offset";
  if (overrides.alex_offset) {
    alex.offset = *overrides.alex_offset;
  } else if (file.exists(offset_path)) {
    alex.offset = whole_number(file, offset_path);
  }
  if (overrides.donor_window) {
    std::tie(alex.donor_start, alex.donor_stop) = *overrides.donor_window;
  } else {
    const std::string window_path = settings_group + "/alex_excitation_period1";
    const bool offset_known = overrides.alex_offset || file.exists(offset_path);
    require_setting(file, window_path, "the donor-excitation period of the alternation",
                    offset_known ? "--donor-window START:STOP (donor_window in Python)"
                                 : "--donor-window START:STOP, and the alternation's offset "
                                   "with --alex-offset (donor_window and alex_offset in "
                                   "Python)");
    const std::string pair = "a pair of numbers (start, stop)";
    const std::vector<std::int64_t> window = whole_numbers(file, window_path, 2, pair);
    if (window.size() != 2) hdf5::refuse_mistyped(file.path(), window_path, pair);
    alex.donor_start = window[0];
    alex.donor_stop = window[1];
  }
  return alex;
}

AlexSettings read_nanosecond_alex(const hdf5::File& file, const std::string& settings_group,
                                  const MeasurementOverrides& overrides) {
  AlexSettings alex;
  if (overrides.donor_window) {
    alex.nanotime_windows.push_back(*overrides.donor_window);
    return alex;
  }
  const std::string window_path = settings_group + "/alex_excitation_period1";
  require_setting(file, window_path, "the nanotimes of donor excitation",
                  "--donor-window START:STOP in nanotime units (donor_window in Python)");
  const std::string pairs = "a list of (start, stop) pairs";
  const std::vector<std::int64_t> windows =
      whole_numbers(file, window_path, 2 * kMaxNanotimeWindows, pairs);
  if (windows.empty() || windows.size() % 2 != 0) {
    hdf5::refuse_mistyped(file.path(), window_path, pairs);
  }
  for (std::size_t i = 0; i < windows.size(); i += 2) {
    alex.nanotime_windows.emplace_back(windows[i], windows[i + 1]);
  }
  return alex;
}

}  // namespace

MeasurementSettings read_measurement_settings(const hdf5::File& file, const std::string& group,
                                              bool has_detectors,
                                              const MeasurementOverrides& overrides) {
  MeasurementSettings settings;
  const std::string settings_group = group + "/measurement_specs";
  const std::string type_path = settings_group + "/measurement_type";
  if (overrides.measurement_type) {
    settings.measurement_type = *overrides.measurement_type;
    if (file.exists(type_path)) settings.stored_measurement_type = hdf5::read_text(file, type_path);
  } else {
    settings.stored_measurement_type = hdf5::read_text(file, type_path);
    settings.measurement_type = settings.stored_measurement_type;
  }

  const std::string& type = settings.measurement_type;
  if (type == kSmFret) {
    settings.scheme = ExcitationScheme::kDonorOnly;
  } else if (type == kUsAlex) {
    settings.scheme = ExcitationScheme::kMicrosecondAlex;
  } else if (type == kNsAlex) {
    settings.scheme = ExcitationScheme::kNanosecondAlex;
  } else {
    hdf5::refuse_contents("Measurement type '" + printable_text(type) + "' of file " + file.path() +
                          " cannot be read; the readable types are smFRET, smFRET-usALEX and "
                          "smFRET-nsALEX.");
  }

  read_channels(file, group, has_detectors, settings);
  if (settings.scheme == ExcitationScheme::kMicrosecondAlex) {
    settings.alex = read_microsecond_alex(file, settings_group, overrides);
  } else if (settings.scheme == ExcitationScheme::kNanosecondAlex) {
    settings.alex = read_nanosecond_alex(file, settings_group, overrides);
  }
  return settings;
}

}  // namespace pelmora
