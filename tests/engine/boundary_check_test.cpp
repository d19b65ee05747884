#include "engine/boundary_check.h"

#include <gtest/gtest.h>

#include "support/engine_fixture.h"

namespace pelmora::testing {
namespace {

// Fills both grid matrices so that each slice's product is the given distribution.
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

TEST(BoundaryCheck, CountsInteriorSlicesThatReachTheEdges) {
  EngineFixture run(alternating_photons({0, 10, 20}));
  RunState& state = run.state();
  const int bins = state.settings.internal_bins;  // 150: threshold 0.01/150
  const std::size_t size = static_cast<std::size_t>(bins);
  std::vector<double> centred(size, 0.0);
  centred[75] = 1.0;
  const std::vector<double> flat(size, 1.0);
  std::vector<double> above = centred;
  above[1] = 0.01 / bins * 1.01;
  above[75] = 1.0 - above[1];
  std::vector<double> below = centred;
  below[size - 2] = 0.01 / bins * 0.99;
  below[75] = 1.0 - below[size - 2];
  std::vector<double> outermost = centred;  // points 0 and M-1 are not looked at
  outermost[0] = outermost[size - 1] = 0.25;
  const std::vector<double> empty(size, 0.0);

  fill_slices(state, {flat, centred, centred, flat});
  count_boundary_slices(state);
  EXPECT_EQ(state.boundary_artifact_count, 0);  // the end slices are never looked at

  fill_slices(state, {centred, above, flat, below, outermost, empty, centred});
  count_boundary_slices(state);
  EXPECT_EQ(state.boundary_artifact_count, 3);  // above, flat and the empty slice
}

}  // namespace
}  // namespace pelmora::testing
