// Every instruction set this processor has against the scalar path, bit for
// bit, on whole analyses: the likelihood scan of records of unequal lengths
// (lanes refilled as records end, lanes left empty at the end) on free
// diffusion and on confined models, with and without background in the
// colours, with every row kept and with checkpoints, on one and two threads;
// and trajectory mode.  Paths the processor lacks are skipped.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/background_colours.h"
#include "engine/distance_grid.h"
#include "engine/likelihood_scan.h"
#include "engine/model_grid.h"
#include "engine/scan_arithmetic.h"
#include "engine/trajectory_analysis.h"
#include "state/observer.h"
#include "support/engine_fixture.h"

namespace pelmora {
namespace {

bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Records of 3 to 160 photons, with simultaneous photons among them (steps
// of 0 only normalise); the times of a burst in clock ticks, so that
// spacings repeat.
std::vector<PhotonList> records(unsigned seed, int count) {
  std::mt19937 random(seed);
  std::vector<PhotonList> lists;
  for (int r = 0; r < count; ++r) {
    const int photons = r % 7 == 0 ? 3 + r % 3 : 10 + static_cast<int>(random() % 150);
    std::vector<testing::PhotonRecipe> recipe;
    double t = 0;
    for (int k = 0; k < photons; ++k) {
      if (k == 0 || random() % 12 != 0) t += 0.0125 * (80 + random() % 3000);
      recipe.push_back({t, random() % 3 != 0 ? kAcceptorPhoton : kDonorPhoton});
    }
    lists.push_back(testing::photon_list_of(recipe));
  }
  return lists;
}

DistanceGrid grid_named(const std::string& name) {
  AnalysisOptions options;
  options.distance_bins = 50;
  AnalysisSettings settings = derive_settings(options);
  if (name == "free") return make_distance_grid(settings);
  DistanceModel model;
  if (name == "chain") {
    model = {GaussianChain{6}, "chain:6"};
    settings.distance_bins = 37;
  } else {
    model = {FlatBox{2, 10}, "box:2:10"};
    settings.distance_bins = 24;
  }
  return make_model_grid(settings, model);
}

void expect_same_tables(const LikelihoodTable& got, const LikelihoodTable& want,
                        const std::string& what) {
  ASSERT_EQ(got.cells.size(), want.cells.size()) << what;
  for (std::size_t i = 0; i < got.cells.size(); ++i) {
    const CoefficientRun& a = got.cells[i];
    const CoefficientRun& b = want.cells[i];
    EXPECT_TRUE(same_bits(a.log_likelihood, b.log_likelihood))
        << what << ", cell " << i << ": " << a.log_likelihood << " vs " << b.log_likelihood;
    EXPECT_TRUE(same_bits(a.most_negative, b.most_negative)) << what << ", cell " << i;
    EXPECT_EQ(a.boundary_photons, b.boundary_photons) << what << ", cell " << i;
    EXPECT_EQ(a.left_out, b.left_out) << what << ", cell " << i;
  }
}

const SimdPath kLanePaths[] = {SimdPath::kSse2, SimdPath::kAvx2, SimdPath::kAvx512};

TEST(SimdPaths, ScansGiveTheScalarBits) {
  const std::vector<PhotonList> lists = records(11, 30);
  std::vector<const PhotonList*> pointers;
  for (const PhotonList& list : lists) pointers.push_back(&list);
  const std::vector<double> coefficients = {3e-16, 2e-15, 1e-14, 8e-14};
  for (const std::string name : {"free", "chain", "box"}) {
    const DistanceGrid grid = grid_named(name);
    // Confined models with a background in some records' colours.
    std::vector<PhotonList> mixed(lists);
    std::vector<const PhotonList*> mixed_pointers;
    for (std::size_t r = 0; r < mixed.size(); ++r) {
      if (grid.modes && r % 2 == 1) mixed[r].colours = mix_background(grid, {0.05, 0.1 + 0.01 * r});
      mixed_pointers.push_back(&mixed[r]);
    }
    const std::span<const PhotonList* const> inputs =
        grid.modes ? std::span<const PhotonList* const>(mixed_pointers) : pointers;
    EngineOptions scalar;
    scalar.simd = SimdPath::kScalar;
    const LikelihoodTable want =
        scan_records(inputs, coefficients, grid, scalar, silent_observer());
    for (const SimdPath path : kLanePaths) {
      if (!simd_path_available(path)) continue;
      for (int threads : {1, 2}) {
        // All rows kept, and checkpoints every few photons.
        for (std::size_t budget : {std::size_t{1} << 30, std::size_t{0}}) {
          EngineOptions engine;
          engine.simd = path;
          engine.threads = threads;
          engine.row_storage_budget = budget;
          expect_same_tables(scan_records(inputs, coefficients, grid, engine, silent_observer()),
                             want,
                             name + " on " + simd_path_name(path) + ", " + std::to_string(threads) +
                                 " threads, budget " + std::to_string(budget));
        }
      }
    }
  }
}

// Many coefficients of one record side by side, as scan mode runs them.
TEST(SimdPaths, ManyCoefficientsOfOneRecordGiveTheScalarBits) {
  const std::vector<PhotonList> lists = records(5, 2);
  const PhotonList* record[] = {&lists[1]};
  const std::vector<double> coefficients = log_spaced_coefficients(1e-16, 1e-13, 11);
  const DistanceGrid grid = grid_named("free");
  EngineOptions scalar;
  scalar.simd = SimdPath::kScalar;
  const LikelihoodTable want = scan_records(record, coefficients, grid, scalar, silent_observer());
  for (const SimdPath path : kLanePaths) {
    if (!simd_path_available(path)) continue;
    for (int threads : {1, 2, 3}) {
      EngineOptions engine;
      engine.simd = path;
      engine.threads = threads;
      expect_same_tables(
          scan_records(record, coefficients, grid, engine, silent_observer()), want,
          std::string(simd_path_name(path)) + ", " + std::to_string(threads) + " threads");
    }
  }
}

TEST(SimdPaths, TrajectoriesGiveTheScalarBits) {
  const std::vector<PhotonList> lists = records(3, 2);
  const DistanceGrid grid = grid_named("free");
  EngineOptions scalar;
  scalar.simd = SimdPath::kScalar;
  const TrajectoryResult want =
      compute_trajectory(lists[1], grid, 1e-14, 20, scalar, silent_observer());
  const std::size_t bins = static_cast<std::size_t>(grid.points.bins);
  for (const SimdPath path : kLanePaths) {
    if (!simd_path_available(path)) continue;
    for (int threads : {1, 2}) {
      EngineOptions engine;
      engine.simd = path;
      engine.threads = threads;
      const TrajectoryResult got =
          compute_trajectory(lists[1], grid, 1e-14, 20, engine, silent_observer());
      for (int j = 0; j < want.slice_count; ++j) {
        EXPECT_EQ(std::memcmp(got.forward.row(j), want.forward.row(j), bins * sizeof(double)), 0)
            << simd_path_name(path) << " forward slice " << j;
        EXPECT_EQ(std::memcmp(got.backward.row(j), want.backward.row(j), bins * sizeof(double)), 0)
            << simd_path_name(path) << " backward slice " << j;
      }
      EXPECT_TRUE(same_bits(got.most_negative, want.most_negative));
    }
  }
}

}  // namespace
}  // namespace pelmora
