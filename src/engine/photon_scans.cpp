#include "engine/photon_scans.h"

#include "engine/progress.h"
#include "engine/propagator.h"
#include "engine/vanished_distribution.h"
#include "state/run_state.h"

namespace pelmora {

namespace {

// P_k: how likely photon k's colour is at each grid point.
const DVector& colour_probability(const RunState& state, int k) {
  return state.photons.photon_types[k] == kDonorPhoton ? state.grid.one_minus_efficiency
                                                       : state.grid.efficiency;
}

// Photon k's scan row.  Trajectory mode stores the propagated vector already
// weighted by the photon's own colour, scan mode the vector before it; the
// carried vector `a` is the weighted one in both modes.
void store_row(bool scan_mode, const double* propagated, const DVector& colour, int bins,
               double* row, double* carried) {
  if (!scan_mode) {
    for (int i = 0; i < bins; ++i) {
      carried[i] = propagated[i] * colour[i];
      row[i] = carried[i];
    }
  } else {
    for (int i = 0; i < bins; ++i) row[i] = propagated[i];
    for (int i = 0; i < bins; ++i) carried[i] = propagated[i] * colour[i];
  }
}

// The first row of a scan: the photon's colour probability normalised.
void start_scan(RunState& state, const char* scan, int first, DVector& a, DVector& s, double* row) {
  const int bins = state.settings.internal_bins;
  const DVector& colour = colour_probability(state, first);
  for (int i = 0; i < bins; ++i) a[i] = colour[i];
  if (!propagate(state, a.span(), s.span(), 0.0)) {
    report_vanished_distribution(state, after_photon(scan, state, first));
  }
  for (int i = 0; i < bins; ++i) {
    row[i] = s[i];
    a[i] = s[i];
  }
}

}  // namespace

void forward_scan_photons(RunState& state) {
  const bool scan_mode = state.settings.scan_mode;
  const int bins = state.settings.internal_bins;
  const int count = state.photons.photon_count;
  const DVector& time = state.photons.photon_times;
  constexpr const char* kScan = "forward photon scan";
  if (!scan_mode) state.console.write("Forward scan photons ...      ");
  ProgressDisplay progress(state.console, count - 1);

  DVector a = dvector(0, bins + 1);
  DVector s = dvector(0, bins + 1);
  start_scan(state, kScan, 0, a, s, state.photon_forward.row(0));
  for (int k = 1; k < count; ++k) {
    if (!scan_mode) progress.show(k);
    if (!propagate(state, a.span(), s.span(), time[k] - time[k - 1])) {
      report_vanished_distribution(state, after_photon(kScan, state, k - 1));
    }
    store_row(scan_mode, s.data(), colour_probability(state, k), bins,
              state.photon_forward.row(k), a.data());
  }
  free_dvector(a, 0, bins + 1);
  free_dvector(s, 0, bins + 1);
  if (!scan_mode) state.console.write("  Done.\n");
}

void backward_scan_photons(RunState& state) {
  const bool scan_mode = state.settings.scan_mode;
  const int bins = state.settings.internal_bins;
  const int count = state.photons.photon_count;
  const DVector& time = state.photons.photon_times;
  constexpr const char* kScan = "backward photon scan";
  if (!scan_mode) state.console.write("Backward scan photons ...     ");
  ProgressDisplay progress(state.console, count - 1);

  DVector a = dvector(0, bins + 1);
  DVector s = dvector(0, bins + 1);
  start_scan(state, kScan, count - 1, a, s, state.photon_backward.row(count - 1));
  for (int k = count - 2; k >= 0; --k) {
    if (!scan_mode) progress.show(count - 1 - k);
    if (!propagate(state, a.span(), s.span(), time[k + 1] - time[k])) {
      report_vanished_distribution(state, after_photon(kScan, state, k + 1));
    }
    store_row(scan_mode, s.data(), colour_probability(state, k), bins,
              state.photon_backward.row(k), a.data());
  }
  free_dvector(a, 0, bins + 1);
  free_dvector(s, 0, bins + 1);
  if (!scan_mode) state.console.write("  Done.\n");
}

}  // namespace pelmora
