#include "engine/grid_scans.h"

#include "engine/distance_distribution.h"
#include "engine/progress.h"
#include "engine/propagator.h"
#include "engine/vanished_distribution.h"
#include "state/run_state.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

void propagate_slice(RunState& state, const char* scan, const double* source, double* result,
                     double step, int slice, double t) {
  const std::size_t length = static_cast<std::size_t>(state.settings.internal_bins);
  if (!propagate(state, {source, length}, {result, length}, step)) {
    report_vanished_distribution(state,
                                 format_text("%s at time slice %d (t=%f mu s)", scan, slice, t));
  }
}

void copy_row(const double* from, double* to, int bins) {
  for (int k = 0; k < bins; ++k) to[k] = from[k];
}

// Number of rows first..last whose normalised product reaches grid points 1
// and M-2 with more than 0.01/M together; a row without overlap counts too.
int count_edge_rows(const DMatrix& forward, const DMatrix& backward, int first, int last,
                    int bins) {
  const double threshold = 0.01 / bins;
  int affected = 0;
  for (int j = first; j <= last; ++j) {
    const std::span<const double> f = forward.row_span(j);
    const std::span<const double> b = backward.row_span(j);
    const double sum = overlap_sum(f, b, bins);
    if (!(sum > 0)) {
      ++affected;
      continue;
    }
    const double edge = distance_probability(f[1], b[1], sum) +
                        distance_probability(f[bins - 2], b[bins - 2], sum);
    if (edge > threshold) ++affected;
  }
  return affected;
}

}  // namespace

void forward_scan_grid(RunState& state) {
  const int bins = state.settings.internal_bins;
  const int slices = state.settings.internal_time_bins;
  const int count = state.photons.photon_count;
  const DVector& time = state.photons.photon_times;
  const double t_first = state.photons.start_time;
  const double t_last = state.photons.end_time;

  state.console.write("Forward scan grid ...         ");
  ProgressDisplay progress(state.console, slices - 1);
  state.grid_forward = dmatrix(0, slices + 1, 0, bins + 1);
  DVector result = dvector(0, bins + 1);

  // Each slice starts afresh from the row of the last photon at or before it.
  int i = 0;
  for (int j = 0; j < slices; ++j) {
    progress.show(j);
    double t = slice_time(t_first, t_last, j, slices);
    if (j == slices - 1) {
      t = t_last;
      i = count - 1;
    } else {
      while (i + 1 < count && t >= time[i + 1]) ++i;
    }
    propagate_slice(state, "forward grid scan", state.photon_forward.row(i), result.data(),
                    t - time[i], j, t);
    copy_row(result.data(), state.grid_forward.row(j), bins);
  }
  free_dvector(result, 0, bins + 1);
  state.console.write("  Done.\n");
}

void backward_scan_grid(RunState& state) {
  const int bins = state.settings.internal_bins;
  const int slices = state.settings.internal_time_bins;
  const int count = state.photons.photon_count;
  const DVector& time = state.photons.photon_times;
  const double t_first = state.photons.start_time;
  const double t_last = state.photons.end_time;

  state.console.write("Backward scan grid ...        ");
  ProgressDisplay progress(state.console, slices - 1);
  state.grid_backward = dmatrix(0, slices + 1, 0, bins + 1);
  DVector result = dvector(0, bins + 1);

  // Each slice starts afresh from the row of the first photon at or after it.
  int i = count - 1;
  for (int j = slices - 1; j >= 0; --j) {
    progress.show(slices - 1 - j);
    double t = slice_time(t_first, t_last, j, slices);
    if (j == 0) {
      t = t_first;
      i = 0;
    } else {
      while (i > 0 && t <= time[i - 1]) --i;
    }
    // The last slice's time comes from the formula and may exceed the last
    // photon time by a rounding error; diffusion never runs backwards.
    const double step = time[i] - t > 0 ? time[i] - t : 0.0;
    propagate_slice(state, "backward grid scan", state.photon_backward.row(i), result.data(), step,
                    j, t);
    copy_row(result.data(), state.grid_backward.row(j), bins);
  }
  free_dvector(result, 0, bins + 1);
  state.console.write("  Done.\n");
}

void count_boundary_slices(RunState& state) {
  state.boundary_artifact_count = 0;
  state.boundary_artifact_count =
      count_edge_rows(state.grid_forward, state.grid_backward, 1,
                      state.settings.internal_time_bins - 2, state.settings.internal_bins);
}

void count_boundary_photons(RunState& state) {
  state.boundary_artifact_count = 0;
  state.boundary_artifact_count =
      count_edge_rows(state.photon_forward, state.photon_backward, 1,
                      state.photons.photon_count - 2, state.settings.internal_bins);
}

}  // namespace pelmora
