#include "engine/confined_propagator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "engine/background_colours.h"
#include "engine/model_grid.h"
#include "engine/propagator.h"
#include "state/distance_distribution.h"

namespace pelmora {
namespace {

constexpr double kDiffusion = 1e-14;  // m^2/s: D dt = 0.01 nm^2 per us

const DistanceModel kChain{GaussianChain{6}, "chain:6"};
const DistanceModel kBox{FlatBox{2, 10}, "box:2:10"};
// A two-state table with a barrier between its states.
const DistanceModel kTable{
    TabulatedDensity{{1, 3, 4, 5, 6, 7, 8, 11}, {0, 1, 0.5, 0.1, 0.1, 0.3, 1.2, 0}}, "pmf:two"};

DistanceGrid grid_of(const DistanceModel& model, int bins) {
  AnalysisSettings settings;
  settings.foerster_radius = 6.5;
  settings.distance_bins = bins;
  return make_model_grid(settings, model);
}

std::vector<double> step(const DistanceGrid& grid, std::vector<double> source, double dt) {
  FftWorkspace workspace = make_fft_workspace(grid.points.bins);
  std::vector<double> out(source.size());
  EXPECT_TRUE(propagate_confined(workspace, *grid.modes, kDiffusion, source, out, dt));
  return out;
}

double largest_difference(const std::vector<double>& a, const std::vector<double>& b) {
  double most = 0;
  for (std::size_t i = 0; i < a.size(); ++i) most = std::max(most, std::abs(a[i] - b[i]));
  return most;
}

// Reflecting walls at A and B: the free Gaussian from r0 plus its mirror
// images, as probability per cell (density at the centre times the width,
// normalised over the cells).
std::vector<double> images(const DistanceGrid& grid, double lower, double upper, double r0,
                           double spread_nm2) {
  const int bins = grid.points.bins;
  const double length = upper - lower;
  std::vector<double> p(static_cast<std::size_t>(bins));
  double total = 0;
  for (int i = 0; i < bins; ++i) {
    const double y = grid_point_position(grid.points.rmin, grid.points.rmax, i, bins) - lower;
    const double y0 = r0 - lower;
    double sum = 0;
    for (int n = -20; n <= 20; ++n) {
      for (const double image : {y0 + 2 * n * length, -y0 + 2 * n * length}) {
        sum += std::exp(-(y - image) * (y - image) / (4 * spread_nm2));
      }
    }
    p[static_cast<std::size_t>(i)] = sum;
    total += sum;
  }
  for (double& v : p) v /= total;
  return p;
}

TEST(ConfinedPropagator, BoxAgreesWithTheMethodOfImages) {
  const DistanceGrid grid = grid_of(kBox, 1000);
  const int start = 120;  // 2.96 nm, near the lower wall
  std::vector<double> source(1000, 0.0);
  source[start] = 1;
  const double r0 = grid_point_position(grid.points.rmin, grid.points.rmax, start, 1000);
  // D dt from 0.5 nm^2 (a spread of 1 nm) to 64 nm^2 (nearly flat).
  for (const double dt : {50.0, 200.0, 800.0, 1600.0, 6400.0}) {
    SCOPED_TRACE(dt);
    EXPECT_LT(largest_difference(step(grid, source, dt), images(grid, 2, 10, r0, dt * 0.01)), 1e-6);
  }
}

TEST(ConfinedPropagator, KeepsEquilibriumAndProbability) {
  struct Case {
    const char* name;
    const DistanceModel& model;
  };
  for (const Case& c : {Case{"chain", kChain}, Case{"box", kBox}, Case{"table", kTable}}) {
    SCOPED_TRACE(c.name);
    const DistanceGrid grid = grid_of(c.model, 150);
    const DiffusionModes& modes = *grid.modes;
    const std::vector<double>& eq = modes.equilibrium;
    // P_eq is a fixed point of every step.
    for (const double dt : {0.0, 0.1, 10.0, 1e3, 1e5, 1e9}) {
      SCOPED_TRACE(dt);
      EXPECT_LT(largest_difference(step(grid, eq, dt), eq), 1e-12);
    }
    // Every mode but the equilibrium's carries no probability: the operator
    // neither makes nor loses any.
    for (int k = 1; k < modes.modes; ++k) {
      double mass = 0;
      for (int j = 0; j < modes.bins; ++j)
        mass += modes.left[static_cast<std::size_t>(k * modes.bins + j)];
      ASSERT_LT(std::abs(mass), 1e-12) << "mode " << k;
    }
    // A point source: dt = 0 gives it back normalised, a long time gives P_eq.
    std::vector<double> source(150, 0.0);
    source[70] = 4;
    std::vector<double> once = step(grid, source, 0.0);
    EXPECT_EQ(once[70], 1.0);
    EXPECT_LT(largest_difference(step(grid, source, 1e9), eq), 1e-12);
  }
}

TEST(ConfinedPropagator, GridCoversTheSupport) {
  struct Case {
    const DistanceModel& model;
    double lower;
    double upper;
  };
  // A chain's P_eq is 1e-12 of its peak near 4.6 RMS; the table's support
  // runs from its last empty point before the density to its first after it.
  for (const Case& c : {Case{kBox, 2, 10}, Case{kChain, 0, 27.7}, Case{kTable, 1, 11}}) {
    const DistanceGrid grid = grid_of(c.model, 100);
    const double half = 0.5 * (grid.points.rmax - grid.points.rmin) / 99;
    EXPECT_NEAR(grid.points.rmin - half, c.lower, 1e-12);
    EXPECT_NEAR(grid.points.rmax + half, c.upper, 0.1);
    EXPECT_EQ(grid.points.bins, 100);
  }
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

// Background shares (and direct excitation's) are the expected counts over
// the photons, scaled down together above the cap; a record without any
// keeps the grid's own colours (no tables of its own), the mixed colours of
// both channels still sum to 1 at every point, and without direct excitation
// they are the background's alone to the bit.
TEST(BackgroundColours, SharesAreCappedAndMixedColoursSumToOne) {
  struct Case {
    double donor, acceptor, direct, photons;
    BackgroundShares expected;
    bool capped;
  };
  for (const Case& c :
       {Case{3, 1, 0, 100, {0.03, 0.01, 0}, false}, Case{60, 20, 0, 100, {0.375, 0.125, 0}, true},
        Case{0, 0, 0, 100, {0, 0, 0}, false}, Case{5, 5, 1, 0, {0, 0, 0}, false},
        Case{3, 1, 6, 100, {0.03, 0.01, 0.06}, false},
        Case{30, 10, 60, 100, {0.15, 0.05, 0.3}, true},
        Case{3, 1, -6, 100, {0.03, 0.01, 0}, false}}) {
    const CappedShares capped = colour_shares(c.donor, c.acceptor, c.direct, c.photons);
    EXPECT_DOUBLE_EQ(capped.shares.donor, c.expected.donor);
    EXPECT_DOUBLE_EQ(capped.shares.acceptor, c.expected.acceptor);
    EXPECT_DOUBLE_EQ(capped.shares.direct, c.expected.direct);
    EXPECT_EQ(capped.capped, c.capped);
    if (c.direct == 0) {
      const BackgroundShares shares = background_shares(c.donor, c.acceptor, c.photons);
      EXPECT_EQ(shares.donor, capped.shares.donor);
      EXPECT_EQ(shares.acceptor, capped.shares.acceptor);
    }
  }
  AnalysisSettings settings = derive_settings({});
  const DistanceGrid grid = make_model_grid(settings, DistanceModel{});
  EXPECT_EQ(mix_background(grid, {}), nullptr);
  const auto mixed = mix_background(grid, {0.02, 0.05});
  const auto direct = mix_background(grid, {0.02, 0.05, 0.03});
  for (int i = 0; i < grid.points.bins; ++i) {
    ASSERT_NEAR(mixed->donor[i] + mixed->acceptor[i], 1.0, 1e-15) << i;
    ASSERT_EQ(mixed->acceptor[i], (1 - 0.02 - 0.05) * grid.efficiency[i] + 0.05) << i;
    ASSERT_EQ(mixed->donor[i], (1 - 0.02 - 0.05) * grid.one_minus_efficiency[i] + 0.02) << i;
    ASSERT_NEAR(direct->donor[i] + direct->acceptor[i], 1.0, 1e-15) << i;
    ASSERT_NEAR(direct->acceptor[i], 0.9 * grid.efficiency[i] + 0.08, 1e-15) << i;
    ASSERT_NEAR(direct->donor[i], 0.9 * grid.one_minus_efficiency[i] + 0.02, 1e-15) << i;
  }
}

}  // namespace
}  // namespace pelmora
