#include "engine/boundary_check.h"

#include <gtest/gtest.h>

#include "numeric/indexed_array.h"

namespace pelmora::testing {
namespace {

// A trajectory whose slices' products are the given distributions.
TrajectoryResult slices_of(const std::vector<std::vector<double>>& slices) {
  const int bins = 150;
  const int rows = static_cast<int>(slices.size());
  TrajectoryResult result;
  result.grid = {bins, -13.0, 26.0};
  result.slice_count = rows;
  result.forward = dmatrix(0, rows + 1, 0, bins + 1);
  result.backward = dmatrix(0, rows + 1, 0, bins + 1);
  for (int j = 0; j < rows; ++j) {
    for (int k = 0; k < bins; ++k) {
      result.forward[j][k] = slices[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)];
      result.backward[j][k] = 1.0;
    }
  }
  return result;
}

TEST(BoundaryCheck, CountsInteriorSlicesThatReachTheEdges) {
  const int bins = 150;  // threshold 0.01/150
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

  // The end slices are never looked at.
  EXPECT_EQ(count_boundary_slices(slices_of({flat, centred, centred, flat})), 0);
  // Above, flat and the empty slice.
  EXPECT_EQ(
      count_boundary_slices(slices_of({centred, above, flat, below, outermost, empty, centred})),
      3);
}

}  // namespace
}  // namespace pelmora::testing
