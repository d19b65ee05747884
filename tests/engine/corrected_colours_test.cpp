#include "engine/corrected_colours.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/distance_grid.h"
#include "engine/model_grid.h"
#include "state/analysis_settings.h"
#include "support/caught_error.h"

namespace pelmora {
namespace {

// One model of every kind.
std::vector<DistanceModel> every_model() {
  return {
      DistanceModel{FreeDiffusion{}, "free"}, DistanceModel{GaussianChain{6}, "chain:6"},
      DistanceModel{FlatBox{2, 10}, "box:2:10"},
      DistanceModel{TabulatedDensity{{1, 3, 4, 5, 6, 7, 8, 11}, {0, 1, 0.5, 0.1, 0.1, 0.3, 1.2, 0}},
                    "pmf"}};
}

bool same_bits(const DVector& a, const DVector& b, int bins) {
  for (int i = 0; i < bins; ++i) {
    if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0) return false;
  }
  return true;
}

// Gamma 1 and no leakage leave every model's colours as they are, to the
// bit, whatever the direct excitation and beta (they do not enter the grid).
TEST(CorrectedColours, APerfectSetupKeepsEveryModelsColoursToTheBit) {
  AnalysisOptions options;
  options.distance_bins = 100;
  const AnalysisSettings settings = derive_settings(options);
  FretCorrections only_shares;
  only_shares.dir_ex = 0.05;
  only_shares.beta = 2;
  for (const DistanceModel& model : every_model()) {
    for (const FretCorrections& c : {FretCorrections{}, only_shares}) {
      const DistanceGrid plain = make_model_grid(settings, model);
      const DistanceGrid corrected = make_model_grid(settings, model, c);
      const int bins = plain.points.bins;
      EXPECT_TRUE(same_bits(plain.efficiency, corrected.efficiency, bins));
      EXPECT_TRUE(same_bits(plain.one_minus_efficiency, corrected.one_minus_efficiency, bins));
      EXPECT_EQ(plain.modes != nullptr, corrected.modes != nullptr);
    }
  }
}

// P*(A | r) = (gamma E + alpha (1 - E)) / ((1 + alpha)(1 - E) + gamma E): at
// r = R0 (E = 1/2), at 0 nm (the acceptor certain, leakage or not) and far
// away (the leakage's share alpha / (1 + alpha) of acceptor photons).
TEST(CorrectedColours, AcceptorProbabilityOfLeakageAndGamma) {
  AnalysisSettings settings;
  settings.foerster_radius = 10;
  settings.internal_rmin = 0;
  settings.internal_rmax = 1000;
  settings.internal_bins = 1001;
  FretCorrections c;
  c.gamma = 2;
  c.leakage = 0.1;
  const DistanceGrid plain = make_distance_grid(settings);
  const DistanceGrid grid = corrected_grid(make_distance_grid(settings), c);
  EXPECT_DOUBLE_EQ(grid.efficiency[10], 1.05 / 1.55);
  EXPECT_DOUBLE_EQ(grid.one_minus_efficiency[10], 0.5 / 1.55);
  EXPECT_EQ(grid.efficiency[0], 1.0);
  EXPECT_EQ(grid.one_minus_efficiency[0], 0.0);
  EXPECT_NEAR(grid.efficiency[1000], 0.1 / 1.1, 1e-11);
  for (int i = 0; i < 1001; ++i) {
    const double e = plain.efficiency[i];
    const double norm = 1.1 * (1 - e) + 2 * e;
    ASSERT_NEAR(grid.efficiency[i], (2 * e + 0.1 * (1 - e)) / norm, 1e-15) << i;
    ASSERT_NEAR(grid.efficiency[i] + grid.one_minus_efficiency[i], 1.0, 1e-15) << i;
    // Gamma above 1 and leakage both favour the acceptor.
    ASSERT_GE(grid.efficiency[i], e) << i;
  }
}

TEST(CorrectedColours, RefusesValuesNamingTheirOption) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    FretCorrections corrections;
    const char* message_start;
  };
  const Case cases[] = {
      {{-1, 0, 0, 1}, "--gamma -1: gamma"},
      {{0, 0, 0, 1}, "--gamma 0: gamma"},
      {{kNaN, 0, 0, 1}, "--gamma nan: gamma"},
      {{kInf, 0, 0, 1}, "--gamma inf: gamma"},
      {{1, -0.01, 0, 1}, "--leakage -0.01: the leakage"},
      {{1, 1, 0, 1}, "--leakage 1: the leakage"},
      {{1, kNaN, 0, 1}, "--leakage nan: the leakage"},
      {{1, 0, -0.5, 1}, "--dir-ex -0.5: the direct excitation"},
      {{1, 0, kInf, 1}, "--dir-ex inf: the direct excitation"},
      {{1, 0, 0, 0}, "--beta 0: beta"},
      {{1, 0, 0, -2}, "--beta -2: beta"},
      // Values no setup has: rounding makes a colour certain, or impossible,
      // where E(r) left both possible.
      {{1e300, 0, 0, 1},
       "--gamma 1e+300 and --leakage 0 give P(acceptor | r) = 1 and "
       "P(donor | r) = "},
      {{5e-324, 0, 0, 1},
       "--gamma 4.94066e-324 and --leakage 0 give P(acceptor | r) = "
       "5.60472e-311 and P(donor | r) = 1 at 0.0433695 nm, where the FRET "
       "efficiency leaves both colours possible: "},
  };
  const AnalysisSettings settings = derive_settings({});
  for (const Case& c : cases) {
    const auto error =
        testing::caught_error([&] { corrected_grid(make_distance_grid(settings), c.corrections); });
    ASSERT_TRUE(error) << c.message_start;
    EXPECT_EQ(error->kind(), ErrorKind::kInput);
    EXPECT_EQ(error->message().rfind(c.message_start, 0), 0u) << error->message();
  }
  EXPECT_FALSE(testing::caught_error([] { check_fret_corrections({0.5, 0.99, 3, 0.1}); }));
}

}  // namespace
}  // namespace pelmora
