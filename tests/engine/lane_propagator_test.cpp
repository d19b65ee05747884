// Steps side by side in vector lanes against diffusion_step one at a time,
// bit for bit, on every instruction set this processor has (the others are
// skipped): free diffusion and confined models, lanes of different time
// steps and coefficients, fewer steps than lanes, steps that only normalise
// and sources with nothing to carry.
#include "engine/lane_propagator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/diffusion_step.h"
#include "engine/distance_grid.h"
#include "engine/model_grid.h"
#include "engine/propagator.h"

namespace pelmora {
namespace {

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

DistanceGrid grid_named(const std::string& name, int bins) {
  AnalysisOptions options;
  options.distance_bins = std::max(bins, kMinDistanceBins);
  AnalysisSettings settings = derive_settings(options);
  DistanceModel model;
  if (name == "free") return make_distance_grid(settings);
  settings.distance_bins = bins;
  if (name == "chain") {
    model = {GaussianChain{6}, "chain:6"};
  } else {
    model = {FlatBox{2, 10}, "box:2:10"};
  }
  return make_model_grid(settings, model);
}

struct Case {
  std::vector<double> source;
  double diff_coeff;
  double dt;
};

// Steps of every kind: a sharp peak, a broad one, a tiny step, a long one (a
// confined model keeps few modes), a step that only normalises, a source
// with nothing positive and one with negative residue.
std::vector<Case> cases_for(int bins, unsigned seed, int count) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<Case> cases;
  for (int c = 0; c < count; ++c) {
    Case one;
    one.source.resize(static_cast<std::size_t>(bins));
    const double centre = uniform(random) * bins;
    const double width = 1 + uniform(random) * bins / 4;
    for (int i = 0; i < bins; ++i) {
      const double a = (i - centre) / width;
      one.source[static_cast<std::size_t>(i)] = std::exp(-a * a) + (i % 7 == 0 ? -1e-17 : 0.0);
    }
    const int kind = c % 9;
    one.diff_coeff = std::pow(10.0, -16 + 3 * uniform(random));
    one.dt = kind == 0 ? 0.0 : kind == 1 ? 3000 * uniform(random) : 1 + 80 * uniform(random);
    if (kind == 2) std::fill(one.source.begin(), one.source.end(), 0.0);
    if (kind == 3) one.dt = 1e-6;
    cases.push_back(std::move(one));
  }
  return cases;
}

class LanePaths : public ::testing::TestWithParam<SimdPath> {};

TEST_P(LanePaths, StepsMatchOneAtATimeBitForBit) {
  const SimdPath path = GetParam();
  if (!simd_path_available(path)) GTEST_SKIP() << simd_path_name(path) << " not on this processor";
  for (const auto& [name, bins] : std::vector<std::pair<std::string, int>>{
           {"free", 50}, {"chain", 10}, {"chain", 33}, {"box", 50}, {"box", 128}}) {
    const DistanceGrid grid = grid_named(name, bins);
    const int m = grid.points.bins;
    LanePropagator lanes(grid, path);
    FftWorkspace workspace = make_fft_workspace(m);
    for (int count : {1, 2, 3, 5, 8, 11, 17}) {
      const std::vector<Case> cases = cases_for(m, static_cast<unsigned>(count * 31 + m), count);
      // Every other step weighs its result by a colour (into its source, as
      // a chain does), from a lowest value of 0 or below.
      const auto colour_of = [&](std::size_t i) -> const double* {
        return i % 2 == 0 ? grid.efficiency.data() : nullptr;
      };
      const auto lowest_of = [](std::size_t i) { return i % 4 == 0 ? 0.0 : -1e-9 * i; };
      std::vector<std::vector<double>> expected;
      std::vector<std::vector<double>> expected_weighted;
      std::vector<double> expected_lowest;
      std::vector<char> expected_ok;
      for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        std::vector<double> out(static_cast<std::size_t>(m));
        std::vector<double> weighted = c.source;
        double lowest = lowest_of(i);
        const LaneStep step{weighted.data(), out.data(),      c.diff_coeff, c.dt,
                            colour_of(i),    weighted.data(), &lowest};
        expected_ok.push_back(take_step(workspace, grid, step));
        expected.push_back(out);
        expected_weighted.push_back(weighted);
        expected_lowest.push_back(lowest);
      }
      // Twice: in place (destination = source), then into fresh rows.
      for (bool in_place : {true, false}) {
        std::vector<std::vector<double>> rows;
        std::vector<LaneStep> steps;
        for (const Case& c : cases) rows.push_back(c.source);
        std::vector<std::vector<double>> outs(cases.size(), std::vector<double>(rows[0].size()));
        std::vector<double> lowest(cases.size());
        for (std::size_t i = 0; i < cases.size(); ++i) {
          lowest[i] = lowest_of(i);
          const bool weighs = colour_of(i) != nullptr && !in_place;
          steps.push_back({rows[i].data(), in_place ? rows[i].data() : outs[i].data(),
                           cases[i].diff_coeff, cases[i].dt, weighs ? colour_of(i) : nullptr,
                           weighs ? rows[i].data() : nullptr, &lowest[i]});
        }
        std::vector<char> ok(cases.size());
        lanes.propagate(steps, ok);
        for (std::size_t i = 0; i < cases.size(); ++i) {
          ASSERT_EQ(ok[i], expected_ok[i]) << name << " M " << m << " step " << i;
          if (!ok[i]) continue;
          const std::string where = std::string(simd_path_name(path)) + " " + name + " M " +
                                    std::to_string(m) + " steps " + std::to_string(count) +
                                    " step " + std::to_string(i);
          EXPECT_TRUE(same_bits(in_place ? rows[i] : outs[i], expected[i])) << where;
          if (steps[i].colour != nullptr) {
            EXPECT_TRUE(same_bits(rows[i], expected_weighted[i])) << where << " weighted";
            EXPECT_EQ(std::memcmp(&lowest[i], &expected_lowest[i], sizeof(double)), 0) << where;
          }
        }
      }
    }
  }
}

// Steps of a coefficient and time step that came before take their factors
// from the cache: the same bits as the first time, on both models.
TEST_P(LanePaths, RepeatedStepsGiveTheSameBits) {
  const SimdPath path = GetParam();
  if (!simd_path_available(path)) GTEST_SKIP() << simd_path_name(path) << " not on this processor";
  for (const std::string name : {"chain", "free"}) {
    const DistanceGrid grid = grid_named(name, 40);
    const int m = grid.points.bins;
    LanePropagator lanes(grid, path);
    FftWorkspace workspace = make_fft_workspace(m);
    const std::vector<Case> cases = cases_for(m, 5, 12);
    for (int round = 0; round < 3; ++round) {
      std::vector<std::vector<double>> outs(cases.size(), std::vector<double>(m));
      std::vector<LaneStep> steps;
      // Each round in another order, so that a step meets other neighbours.
      for (std::size_t k = 0; k < cases.size(); ++k) {
        const std::size_t i = (k * (2 * round + 1)) % cases.size();
        steps.push_back({cases[i].source.data(), outs[i].data(), cases[i].diff_coeff, cases[i].dt});
      }
      std::vector<char> ok(cases.size());
      lanes.propagate(steps, ok);
      for (std::size_t k = 0; k < cases.size(); ++k) {
        const std::size_t i = (k * (2 * round + 1)) % cases.size();
        std::vector<double> expected(static_cast<std::size_t>(m));
        ASSERT_EQ(ok[k], diffusion_step(workspace, grid, cases[i].diff_coeff, cases[i].source,
                                        expected, cases[i].dt));
        if (ok[k]) {
          EXPECT_TRUE(same_bits(outs[i], expected)) << name << " round " << round << " step " << i;
        }
      }
    }
  }
}

// A full cache starts again empty: whatever it hands back is what was stored
// for that coefficient and step.
TEST(StepFactorCache, HandsBackWhatWasStoredOrNothing) {
  StepFactorCache cache(64, 8);
  for (int i = 0; i < 200; ++i) {
    const double dt = 1.0 + i % 37;
    const double diff_coeff = 1e-14 * (1 + i % 3);
    int count = 0;
    if (const double* values = cache.find(diff_coeff, dt, count)) {
      ASSERT_EQ(count, 1 + static_cast<int>(dt) % 8);
      for (int k = 0; k < count; ++k) EXPECT_EQ(values[k], dt * diff_coeff + k);
      continue;
    }
    double* out = cache.reserve(diff_coeff, dt);
    count = 1 + static_cast<int>(dt) % 8;
    for (int k = 0; k < count; ++k) out[k] = dt * diff_coeff + k;
    cache.commit(count);
  }
}

INSTANTIATE_TEST_SUITE_P(, LanePaths,
                         ::testing::Values(SimdPath::kScalar, SimdPath::kSse2, SimdPath::kAvx2,
                                           SimdPath::kAvx512),
                         [](const auto& info) { return std::string(simd_path_name(info.param)); });

}  // namespace
}  // namespace pelmora
