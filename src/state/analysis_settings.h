// The settings of an analysis: what a user chooses (AnalysisOptions, with
// every default in one place below) and everything the engine derives from
// it (AnalysisSettings).  derive_settings is the one place where internal
// settings are formed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pelmora {

// Limits of the user's choices.
inline constexpr int kMinDistanceBins = 50;       // fewer distance points are refused
inline constexpr int kDistanceBinsLimit = 20000;  // the count must stay below this
inline constexpr int kMinTimeBins = 4;            // fewer time slices are refused
inline constexpr int kTimeBinsLimit = 100000;     // the count must stay below this

struct AnalysisOptions {
  // Foerster radius R0 in nm: E(r) = 1 / (1 + (r/R0)^6).
  double foerster_radius = 6.5;
  // The distance range of the results, in nm.  The engine's grid spans three
  // times this range (one width below, one above), so that probability can
  // spread beyond what is shown.
  double min_distance = 0.0;
  std::optional<double> max_distance;  // default: 2 * foerster_radius
  // Distance points within [min_distance, max_distance]; the internal grid
  // has three times as many.
  int distance_bins = 400;
};

struct AnalysisSettings {
  double foerster_radius = 0.0;  // nm
  double min_distance = 0.0;     // nm
  double max_distance = 0.0;     // nm
  int distance_bins = 0;
  // Derived.
  double internal_rmin = 0.0;  // nm: min_distance - (max_distance - min_distance)
  double internal_rmax = 0.0;  // nm: max_distance + (max_distance - min_distance)
  int internal_bins = 0;       // 3 * distance_bins
  int fft_length = 0;          // smallest power of two above 1.5 * internal_bins

  bool operator==(const AnalysisSettings&) const = default;
};

// Applies the defaults and derives the internal grid.  Refuses (Error of
// kind kInput) a radius that is not a positive finite number, range limits
// that are not finite, a distance count outside [50, 19999] and a range whose
// extension exceeds the range of numbers, with the messages the command line
// gives for the same faults.
AnalysisSettings derive_settings(const AnalysisOptions& options);

// FFT length for M internal grid points: the smallest power of two above
// 1.5 * M, so that more than M/2 zero points follow the distribution and the
// circular convolution never wraps probability round.
int fft_length_for(int bins);

// The number of output time slices of a trajectory: `time_bins` when it is
// not 0, else derived from `time_increment` (mu s) and the photon span
// t_first..t_last, else 1000.  Pure: the warnings in the order they arise,
// and the error, if any, as texts.
struct TimeBinsOutcome {
  int time_bins = 0;
  std::vector<std::string> warnings;
  std::optional<std::string> error;
};
TimeBinsOutcome settle_time_bins(int time_bins, double time_increment, double t_first,
                                 double t_last);

}  // namespace pelmora
