#include "cli/time_bins.h"

#include <cmath>

#include "base/error.h"
#include "state/run_state.h"
#include "state/text_format.h"

namespace pelmora {

TimeBinsOutcome settle_time_bins(const RunSettings& settings, double t_first, double t_last) {
  TimeBinsOutcome outcome;
  outcome.time_bins = settings.time_bins;
  if (outcome.time_bins == 0) {
    const double increment = settings.time_increment;
    if (increment == 0) {
      outcome.time_bins = 1000;
    } else if (increment < 0) {
      outcome.warnings.emplace_back("\n\nWARNING: Time grid resolution must be positive.\n");
    } else {
      // Counted in double precision and tested before any conversion, so
      // that an absurdly fine resolution is reported with its exact count.
      const double count = std::floor((t_last - t_first) / increment + 1.5);
      if (count > kTimeBinsLimit) {
        outcome.error =
            format_text("\n\nERROR: Time grid resolution too small; would allocate %.0f grid points.\n",
                   count);
        return outcome;
      }
      outcome.time_bins = static_cast<int>(count);
    }
  }
  if (outcome.time_bins < 4) {
    outcome.error =
        format_text("\n\nERROR: number of time slices (%d) must be > 3.\n", outcome.time_bins);
  } else if (outcome.time_bins >= kTimeBinsLimit) {
    outcome.error = format_text("\n\nERROR: number of time slices (%d) must be < %d.\n",
                           outcome.time_bins, kTimeBinsLimit);
  }
  return outcome;
}

void derive_time_bins(RunState& state, double t_first, double t_last) {
  const TimeBinsOutcome outcome = settle_time_bins(state.settings, t_first, t_last);
  for (const std::string& warning : outcome.warnings) state.warn(warning.c_str());
  if (outcome.error) throw Error(ErrorKind::kOption, *outcome.error);
  state.settings.time_bins = outcome.time_bins;
}

}  // namespace pelmora
