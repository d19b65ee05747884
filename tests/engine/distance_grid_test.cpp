#include "engine/distance_grid.h"

#include <gtest/gtest.h>

#include "engine/propagator.h"
#include "state/distance_distribution.h"

namespace pelmora {
namespace {

// A grid of `bins` internal points from rmin to rmax (nm).
DistanceGrid grid_of(double foerster_radius, double rmin, double rmax, int bins) {
  AnalysisSettings settings;
  settings.foerster_radius = foerster_radius;
  settings.internal_rmin = rmin;
  settings.internal_rmax = rmax;
  settings.internal_bins = bins;
  return make_distance_grid(settings);
}

TEST(FftLength, SmallestPowerOfTwoAboveOneAndAHalfGrids) {
  struct Case {
    int bins;
    int length;
  };
  for (const Case c : {Case{150, 256}, Case{171, 512}, Case{1200, 2048}, Case{1365, 2048},
                       Case{1368, 4096}, Case{59997, 131072}}) {
    EXPECT_EQ(fft_length_for(c.bins), c.length) << c.bins;
  }
}

TEST(FftLength, WorkspaceArraysMatchTheLength) {
  const FftWorkspace fft = make_fft_workspace(1368);
  EXPECT_EQ(fft.fft_length, 4096);
  for (const DVector* v : {&fft.fft_data, &fft.fft_kernel}) {
    EXPECT_EQ(v->lo(), 1);
    EXPECT_EQ(v->hi(), 4096);
  }
  for (const DVector* v : {&fft.fft_result, &fft.spectrum}) {
    EXPECT_EQ(v->lo(), 1);
    EXPECT_EQ(v->hi(), 8192);
  }
}

TEST(DistanceGrid, DefaultGridRulesOutDonorsBelowZero) {
  const DistanceGrid grid = grid_of(6.5, -13, 26, 1200);
  EXPECT_EQ(grid.efficiency.lo(), 0);
  EXPECT_EQ(grid.efficiency.hi(), 1201);
  EXPECT_EQ(grid.one_minus_efficiency.hi(), 1201);
  for (int i = 0; i < 400; ++i) {
    EXPECT_EQ(grid.efficiency[i], 1.0) << i;
    EXPECT_EQ(grid.one_minus_efficiency[i], 0.0) << i;
  }
  EXPECT_LT(grid_point_position(-13, 26, 399, 1200), 0.0);
  const double first_positive = grid_point_position(-13, 26, 400, 1200);
  EXPECT_GT(first_positive, 0.0);
  EXPECT_LT(first_positive, 39.0 / 1199);
  // Efficiency falls monotonically once the distances are positive.
  for (int i = 401; i < 1200; ++i) EXPECT_LT(grid.efficiency[i], grid.efficiency[i - 1]) << i;
  for (int i = 0; i < 1200; ++i) {
    EXPECT_EQ(grid.one_minus_efficiency[i], 1.0 - grid.efficiency[i]) << i;
    EXPECT_NEAR(grid.efficiency[i] + grid.one_minus_efficiency[i], 1.0, 1e-15) << i;
  }
}

TEST(DistanceGrid, EfficiencyAtOneAndTwoFoersterRadii) {
  // Points fall on whole nanometres, so 10 and 20 nm are hit exactly.
  const DistanceGrid grid = grid_of(10.0, 0.0, 149.0, 150);
  EXPECT_EQ(grid.efficiency[0], 1.0);
  EXPECT_EQ(grid.efficiency[10], 0.5);
  EXPECT_EQ(grid.one_minus_efficiency[10], 0.5);
  EXPECT_DOUBLE_EQ(grid.efficiency[20], 1.0 / 65);
  EXPECT_DOUBLE_EQ(grid.one_minus_efficiency[20], 64.0 / 65);
}

TEST(DistanceGrid, RangeAboveZeroIsNotClamped) {
  const DistanceGrid grid = grid_of(6.5, 2.0, 8.0, 150);
  const double x = 2.0 / 6.5;
  EXPECT_DOUBLE_EQ(grid.efficiency[0], 1 / (1 + x * x * x * x * x * x));
  EXPECT_LT(grid.efficiency[0], 1.0);
  EXPECT_GT(grid.one_minus_efficiency[0], 0.0);
}

}  // namespace
}  // namespace pelmora
