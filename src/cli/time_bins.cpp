#include "cli/time_bins.h"

#include "base/error.h"
#include "cli/console_frame.h"
#include "cli/run_state.h"

namespace pelmora {

void derive_time_bins(RunState& state, double t_first, double t_last) {
  const TimeBinsOutcome outcome =
      settle_time_bins(state.settings.time_bins, state.settings.time_increment, t_first, t_last);
  for (const std::string& warning : outcome.warnings) state.warn(framed_warning(warning));
  if (outcome.error) throw Error(ErrorKind::kOption, *outcome.error);
  state.settings.time_bins = outcome.time_bins;
}

}  // namespace pelmora
