// What several pelmora-bursts commands share: the options that correct a
// measurement's metadata, the burst search's options, the analysis options
// as pelmora takes them, and where a burst list comes from.
#pragma once

#include <string>
#include <vector>

#include "cli/bursts/arguments.h"
#include "pelmora/measurement.h"

namespace pelmora::bursts_cli {

// --spot, --type, --alex-period, --alex-offset, --donor-window START:STOP.
MeasurementOverrides measurement_overrides(const Arguments& arguments);
extern const std::vector<std::string> kMeasurementOptions;

// --m, --F, --min-rate (kHz), --min-photons, --bg-window (s).
BurstSearchOptions search_options(const Arguments& arguments);
extern const std::vector<std::string> kSearchOptions;

// -R, -min, -max, -d, -Dmin, -Dmax, -n with pelmora's own meaning, defaults
// and messages; the coefficients are those of pelmora's scan mode.
struct ScanSettings {
  AnalysisSettings analysis;
  double min_coeff = 0;  // m^2/s
  double max_coeff = 0;
  int runs = 0;
  std::vector<double> coefficients;
  // "R=6.5 min=0 max=13 d=400 Dmin=1e-16 Dmax=1e-13 n=20", exact.
  std::string text;
};
ScanSettings scan_settings(const Arguments& arguments);
extern const std::vector<std::string> kScanSettingOptions;

// Whether a file starts with the HDF5 signature.
bool is_hdf5_file(const std::string& path);

// The bursts of a measurement: those of --bursts TABLE, or found by the
// search.  `source` describes where they came from, for settings lines.
struct BurstList {
  std::vector<BurstWindow> windows;
  std::vector<BurstCounts> counts;  // of each window
  std::string source;
  std::optional<Background> background;  // when the search ran with F
};
BurstList burst_list(const Measurement& measurement, const Arguments& arguments);

// A short fingerprint of a burst list (FNV-1a of its windows), so that runs
// on different tables are told apart.
std::string windows_fingerprint(const std::vector<BurstWindow>& windows);

// One line naming a measurement for settings lines and results.
std::string measurement_text(const MeasurementDescription& description);

}  // namespace pelmora::bursts_cli
