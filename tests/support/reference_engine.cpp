#include "support/reference_engine.h"

#include <cmath>
#include <stdexcept>

#include "engine/propagator.h"
#include "engine/time_grid.h"
#include "state/distance_distribution.h"

namespace pelmora::testing {

namespace {

const DVector& colour(const EngineFixture& setup, int k) {
  return setup.grid.colour_probability(setup.photons.photon_types[static_cast<std::size_t>(k)]);
}

void must(bool ok) {
  if (!ok) throw std::runtime_error("distribution vanished in the reference engine");
}

// One pass; `order` lists the photons in the pass's direction.
DMatrix photon_pass(EngineFixture& state, bool forward, bool weighted) {
  const int count = state.photons.photon_count;
  const int bins = state.bins();
  const std::vector<double>& time = state.photons.photon_times;
  DMatrix rows = dmatrix(0, count - 1, 0, bins + 1);
  DVector a = dvector(0, bins + 1);
  DVector s = dvector(0, bins + 1);
  const int first = forward ? 0 : count - 1;
  for (int i = 0; i < bins; ++i) a[i] = colour(state, first)[i];
  must(state.propagate(a.span(), s.span(), 0.0));
  for (int i = 0; i < bins; ++i) {
    rows[first][i] = s[i];
    a[i] = s[i];
  }
  for (int m = 1; m < count; ++m) {
    const int k = forward ? m : count - 1 - m;
    const double step = forward ? time[k] - time[k - 1] : time[k + 1] - time[k];
    must(state.propagate(a.span(), s.span(), step));
    for (int i = 0; i < bins; ++i) {
      a[i] = s[i] * colour(state, k)[i];
      rows[k][i] = weighted ? a[i] : s[i];
    }
  }
  return rows;
}

}  // namespace

ReferencePhotonRows reference_photon_rows(EngineFixture& state, bool weighted) {
  return {photon_pass(state, true, weighted), photon_pass(state, false, weighted)};
}

void reference_grid_scans(EngineFixture& state, const ReferencePhotonRows& rows,
                          DMatrix& grid_forward, DMatrix& grid_backward) {
  const int count = state.photons.photon_count;
  const int bins = state.bins();
  const int slices = state.time_bins + 2;
  const std::vector<double>& time = state.photons.photon_times;
  const double t_first = state.photons.start_time;
  const double t_last = state.photons.end_time;
  grid_forward = dmatrix(0, slices + 1, 0, bins + 1);
  grid_backward = dmatrix(0, slices + 1, 0, bins + 1);
  int i = 0;
  for (int j = 0; j < slices; ++j) {
    double t = slice_time(t_first, t_last, j, slices);
    if (j == slices - 1) {
      t = t_last;
      i = count - 1;
    } else {
      while (i + 1 < count && t >= time[i + 1]) ++i;
    }
    must(state.propagate(rows.forward.row_span(i), grid_forward.row_span(j), t - time[i]));
  }
  i = count - 1;
  for (int j = slices - 1; j >= 0; --j) {
    double t = slice_time(t_first, t_last, j, slices);
    if (j == 0) {
      t = t_first;
      i = 0;
    } else {
      while (i > 0 && t <= time[i - 1]) --i;
    }
    const double step = time[i] - t > 0 ? time[i] - t : 0.0;
    must(state.propagate(rows.backward.row_span(i), grid_backward.row_span(j), step));
  }
}

ReferenceRun reference_likelihood_run(EngineFixture& state) {
  const ReferencePhotonRows rows = reference_photon_rows(state, false);
  const int bins = state.bins();
  ReferenceRun run;
  for (int j = 1; j <= state.photons.photon_count - 2; ++j) {
    double s = 0.0;
    double g = 0.0;
    for (int k = 0; k < bins; ++k) {
      const double t = rows.forward[j][k] * rows.backward[j][k];
      s += t;
      g += t * colour(state, j)[k];
    }
    if (g > 0) run.log_likelihood += std::log(g / s);
    const double edge = rows.forward[j][1] * rows.backward[j][1] / s +
                        rows.forward[j][bins - 2] * rows.backward[j][bins - 2] / s;
    if (s == 0 || edge > 0.01 / bins) ++run.boundary_photons;
  }
  return run;
}

}  // namespace pelmora::testing
