#include "engine/grid_scans.h"

#include <gtest/gtest.h>

#include "engine/photon_scans.h"
#include "engine/propagator.h"
#include "support/engine_fixture.h"

namespace pelmora::testing {
namespace {

TEST(GridScans, SliceTimesSpanThePhotonRecord) {
  const double expected[] = {0, 200, 400, 600, 800, 1000};
  for (int j = 0; j < 6; ++j) EXPECT_EQ(slice_time(0, 1000, j, 6), expected[j]);
}

std::vector<double> integer_times(int last) {
  std::vector<double> times;
  for (int t = 0; t <= last; t += 10) times.push_back(t);
  return times;
}

TEST(GridScans, ProgressRunsFromZeroToHundred) {
  EngineFixture run(alternating_photons(integer_times(1000)), 50, 0, 13, 1.0, false, 4);
  forward_scan_photons(run.state());
  backward_scan_photons(run.state());
  run.take_console();
  const std::string fields =
      "\b\b\b\b  0%\b\b\b\b 20%\b\b\b\b 40%\b\b\b\b 60%\b\b\b\b 80%\b\b\b\b100%";
  forward_scan_grid(run.state());
  EXPECT_EQ(run.take_console(), "Forward scan grid ...         " + fields + "  Done.\n");
  backward_scan_grid(run.state());
  EXPECT_EQ(run.take_console(), "Backward scan grid ...        " + fields + "  Done.\n");
}

// Photons every 10 mu s from 0 to 1000 and 4 slices: every slice lies on a
// photon, so both rows come from that photon with a step of 0.
TEST(GridScans, SlicesOnPhotonTimesTakeThatPhotonsRows) {
  EngineFixture run(alternating_photons(integer_times(1000)), 50, 0, 13, 1.0, false, 4);
  RunState& state = run.state();
  forward_scan_photons(state);
  backward_scan_photons(state);
  forward_scan_grid(state);
  backward_scan_grid(state);
  const int bins = state.settings.internal_bins;
  DVector expected = dvector(0, bins + 1);
  for (int j = 0; j < 6; ++j) {
    const int photon = 20 * j;
    ASSERT_TRUE(propagate(state, state.photon_forward.row_span(photon), expected.span(), 0.0));
    for (int k = 0; k < bins; ++k) ASSERT_EQ(state.grid_forward[j][k], expected[k]) << j;
    ASSERT_TRUE(propagate(state, state.photon_backward.row_span(photon), expected.span(), 0.0));
    for (int k = 0; k < bins; ++k) ASSERT_EQ(state.grid_backward[j][k], expected[k]) << j;
  }
}

// Between photons, the forward row comes from the photon before the slice and
// the backward row from the photon after it.
TEST(GridScans, SlicesBetweenPhotonsPropagateFromTheirNeighbours) {
  EngineFixture run(alternating_photons({0, 130, 250, 700, 1000}), 50, 0, 13, 1.0, false, 4);
  RunState& state = run.state();
  forward_scan_photons(state);
  backward_scan_photons(state);
  forward_scan_grid(state);
  backward_scan_grid(state);
  const int bins = state.settings.internal_bins;
  DVector expected = dvector(0, bins + 1);
  struct Slice {
    int j, before, after;
  };
  for (const Slice& slice : {Slice{1, 1, 2}, Slice{2, 2, 3}, Slice{3, 2, 3}, Slice{4, 3, 4}}) {
    const double t = slice_time(0, 1000, slice.j, 6);
    const double step_forward = t - state.photons.photon_times[slice.before];
    ASSERT_TRUE(propagate(state, state.photon_forward.row_span(slice.before), expected.span(),
                          step_forward));
    for (int k = 0; k < bins; ++k) ASSERT_EQ(state.grid_forward[slice.j][k], expected[k]);
    const double step_backward = state.photons.photon_times[slice.after] - t;
    ASSERT_TRUE(propagate(state, state.photon_backward.row_span(slice.after), expected.span(),
                          step_backward));
    for (int k = 0; k < bins; ++k) ASSERT_EQ(state.grid_backward[slice.j][k], expected[k]);
  }
}

// Fills both grid matrices with one distribution per slice.
void fill_slices(RunState& state, const std::vector<std::vector<double>>& slices) {
  const int bins = state.settings.internal_bins;
  const int rows = static_cast<int>(slices.size());
  state.settings.internal_time_bins = rows;
  state.grid_forward = dmatrix(0, rows + 1, 0, bins + 1);
  state.grid_backward = dmatrix(0, rows + 1, 0, bins + 1);
  for (int j = 0; j < rows; ++j) {
    for (int k = 0; k < bins; ++k) {
      state.grid_forward[j][k] = slices[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)];
      state.grid_backward[j][k] = 1.0;
    }
  }
}

TEST(GridScans, BoundaryCountLooksAtInteriorSlicesOnly) {
  EngineFixture run(alternating_photons({0, 10, 20}));
  RunState& state = run.state();
  const int bins = state.settings.internal_bins;  // 150
  std::vector<double> centred(static_cast<std::size_t>(bins), 0.0);
  centred[75] = 1.0;
  std::vector<double> flat(static_cast<std::size_t>(bins), 1.0);
  std::vector<double> at_edge = centred;
  at_edge[1] = 0.01 / bins * 1.01;  // just above the threshold after normalisation...
  at_edge[75] = 1.0 - at_edge[1];
  std::vector<double> below_edge = centred;
  below_edge[bins - 2] = 0.01 / bins * 0.99;
  below_edge[75] = 1.0 - below_edge[bins - 2];
  std::vector<double> empty(static_cast<std::size_t>(bins), 0.0);

  fill_slices(state, {flat, centred, centred, flat});
  count_boundary_slices(state);
  EXPECT_EQ(state.boundary_artifact_count, 0);  // end slices are never looked at

  fill_slices(state, {centred, at_edge, flat, below_edge, empty, centred});
  count_boundary_slices(state);
  EXPECT_EQ(state.boundary_artifact_count, 3);  // at_edge, flat and the empty slice
}

}  // namespace
}  // namespace pelmora::testing
