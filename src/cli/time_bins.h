#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pelmora {

struct RunSettings;
struct RunState;

// Upper bound on the number of time slices.
inline constexpr int kTimeBinsLimit = 100000;

struct TimeBinsOutcome {
  int time_bins = 0;
  std::vector<std::string> warnings;
  std::optional<std::string> error;
};

// The number of output time slices, trajectory mode only: the -t value, or
// derived from -dt and the photon span t_first..t_last (mu s), or 1000.
// Pure: prints nothing.
TimeBinsOutcome settle_time_bins(const RunSettings& settings, double t_first, double t_last);

// Thin layer: stores the count and prints the warnings (setting
// warnings_flag); an error is thrown as kOption.
void derive_time_bins(RunState& state, double t_first, double t_last);

}  // namespace pelmora
