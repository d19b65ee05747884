#pragma once

namespace pelmora {

struct RunState;

// Thin layer over settle_time_bins (state/analysis_settings.h): stores the
// count, prints the warnings (setting warnings_flag); an error is thrown as
// kOption.  t_first..t_last is the photon span in mu s.
void derive_time_bins(RunState& state, double t_first, double t_last);

}  // namespace pelmora
