#include "engine/trajectory_analysis.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "engine/model_grid.h"
#include "input/photon_arrays.h"
#include "state/written_slices.h"
#include "support/caught_error.h"
#include "support/engine_fixture.h"
#include "support/reference_engine.h"

namespace pelmora::testing {
namespace {

std::string progress_fields(const std::vector<int>& values) {
  std::string text;
  char field[16];
  for (int value : values) {
    std::snprintf(field, sizeof field, "\b\b\b\b%3d%%", value);
    text += field;
  }
  return text;
}

TEST(TrajectoryScans, ConsoleTextOfTheFourScansForAnyThreadCount) {
  const std::string grid_fields = progress_fields({0, 20, 40, 60, 80, 100});
  const std::string expected = "Forward scan photons ...      " + progress_fields({50, 100}) +
                               "  Done.\n" + "Backward scan photons ...     " +
                               progress_fields({50, 100}) + "  Done.\n" +
                               "Forward scan grid ...         " + grid_fields + "  Done.\n" +
                               "Backward scan grid ...        " + grid_fields + "  Done.\n";
  for (int threads : {1, 2}) {
    EngineFixture run(alternating_photons({0, 10, 20}), 50, 0, 13, 1.0, 4);
    run.engine.threads = threads;
    run.trajectory();
    EXPECT_EQ(run.take_console(), expected) << threads << " threads";
  }
}

// A confined model's trajectory: with D so large that the distance forgets
// each photon long before the next slice, every slice between photons holds
// P_eq, the whole support is written, and no slice counts as reaching an
// edge.
TEST(TrajectoryScans, ConfinedSlicesBetweenDistantPhotonsAreTheEquilibrium) {
  AnalysisOptions options;
  options.distance_bins = 60;
  const DistanceGrid grid =
      make_model_grid(derive_settings(options), {GaussianChain{6}, "chain:6"});
  const std::vector<double> times = {0, 1000, 2000, 3000, 4000, 5000};
  const std::vector<std::uint8_t> colours = {0, 1, 1, 0, 1, 0};
  const PhotonList photons = photon_list_from_arrays(times, colours, silent_observer());
  const TrajectoryResult result =
      compute_trajectory(photons, grid, 1e-9, 5, EngineOptions{}, silent_observer());
  ASSERT_TRUE(result.confined);
  EXPECT_EQ(result.boundary_slices, 0);
  const WrittenSlices slices(result);
  EXPECT_EQ(slices.points().first, 0);
  EXPECT_EQ(slices.points().end, 60);
  for (int i = slices.first(); i <= slices.last(); ++i) {
    const double z = slices.overlap(i);
    for (int j = 0; j < 60; ++j) {
      const double p = distance_probability(slices.forward(i)[j], slices.backward(i)[j], z);
      EXPECT_NEAR(p, grid.modes->equilibrium[static_cast<std::size_t>(j)], 1e-12)
          << "slice " << i << ", point " << j;
    }
  }
}

TEST(TrajectoryScans, PhotonProgressForThousandAndOnePhotons) {
  std::vector<double> times;
  for (int i = 0; i <= 1000; ++i) times.push_back(5.0 * i);
  EngineFixture run(alternating_photons(times), 50, 0, 13, 1.0, 4);
  std::vector<int> percentages;
  for (int p = 1; p <= 100; ++p) percentages.push_back(p);
  run.trajectory();
  const std::string text = run.take_console();
  const std::string forward =
      "Forward scan photons ...      " + progress_fields(percentages) + "  Done.\n";
  EXPECT_EQ(text.substr(0, forward.size()), forward);
}

bool same_rows(const DMatrix& a, const DMatrix& b, int rows, int bins) {
  for (int j = 0; j < rows; ++j) {
    if (std::memcmp(a.row(j), b.row(j), sizeof(double) * static_cast<std::size_t>(bins)) != 0) {
      ADD_FAILURE() << "row " << j << " differs";
      return false;
    }
  }
  return true;
}

struct Record {
  const char* name;
  std::vector<PhotonRecipe> photons;
  int time_bins;
  double diffusion;
};

// Random arrivals with occasional ties and long gaps, random colours.
std::vector<PhotonRecipe> random_record(unsigned seed, int count) {
  std::mt19937 random(seed);
  std::vector<PhotonRecipe> photons;
  double t = 100.0 * (random() % 7);
  for (int i = 0; i < count; ++i) {
    const unsigned kind = random() % 20;
    if (kind == 0 && i > 0) {
      // same time as the photon before
    } else if (kind == 1) {
      t += 2000.0 + random() % 5000;
    } else {
      t += 1.0 + random() % 60;
    }
    photons.push_back({t, random() % 3 == 0 ? kDonorPhoton : kAcceptorPhoton});
  }
  return photons;
}

// The fused passes give the rows of the plain per-photon engine bit for bit,
// one thread or several.
TEST(TrajectoryScans, MatchTheReferenceEngineBitForBit) {
  std::vector<PhotonRecipe> on_slices;
  for (int t = 0; t <= 1000; t += 10)
    on_slices.push_back({double(t), t % 30 ? kAcceptorPhoton : kDonorPhoton});
  const std::vector<Record> records = {
      {"photons on slice times", on_slices, 4, 1.0},
      {"random, few slices", random_record(1, 200), 7, 1.0},
      {"random, more slices than photons", random_record(2, 40), 300, 5.0},
      {"random, slow", random_record(3, 120), 50, 0.05},
      {"three photons", random_record(4, 3), 4, 1.0},
  };
  for (const Record& record : records) {
    SCOPED_TRACE(record.name);
    EngineFixture reference(record.photons, 50, 0, 13, record.diffusion, record.time_bins);
    const ReferencePhotonRows rows = reference_photon_rows(reference, true);
    DMatrix grid_forward;
    DMatrix grid_backward;
    reference_grid_scans(reference, rows, grid_forward, grid_backward);
    const int slices = record.time_bins + 2;
    for (int threads : {1, 2, 4}) {
      EngineFixture run(record.photons, 50, 0, 13, record.diffusion, record.time_bins);
      run.engine.threads = threads;
      const TrajectoryResult result = run.trajectory();
      EXPECT_TRUE(same_rows(result.forward, grid_forward, slices, 150)) << threads;
      EXPECT_TRUE(same_rows(result.backward, grid_backward, slices, 150)) << threads;
    }
  }
}

// Every grid point of -10..-5 nm (internal -15..0) has E = 1: a donor photon
// leaves nothing.  (The run driver refuses such a record before the scans;
// here the scans meet it directly, as they would meet a distribution that
// rounding residue has swamped.)  The error is the one the scans would meet
// first one after another, whatever the threads do.
TEST(TrajectoryScansTest, VanishedDistributionEndsTheRun) {
  struct Case {
    std::vector<PhotonRecipe> photons;
    const char* console;  // what was shown before the error
    const char* where;
  };
  const Case cases[] = {
      {{{0, kAcceptorPhoton}, {10, kDonorPhoton}, {20, kAcceptorPhoton}},
       "Forward scan photons ...      \b\b\b\b 50%\b\b\b\b100%",
       "forward photon scan after photon 2 (t=10.000000 mu s)"},
      // Only the backward pass meets it, at its very start.
      {{{0, kAcceptorPhoton}, {10, kAcceptorPhoton}, {20, kDonorPhoton}},
       "Forward scan photons ...      \b\b\b\b 50%\b\b\b\b100%  Done.\n"
       "Backward scan photons ...     ",
       "backward photon scan after photon 3 (t=20.000000 mu s)"},
      {{{0, kDonorPhoton}, {10, kAcceptorPhoton}, {20, kAcceptorPhoton}},
       "Forward scan photons ...      ",
       "forward photon scan after photon 1 (t=0.000000 mu s)"},
  };
  for (const Case& c : cases) {
    for (int threads : {1, 2}) {
      EngineFixture run(c.photons, 50, -10, -5, 1.0, 4);
      run.engine.threads = threads;
      const std::optional<Error> error = caught_error([&] { run.trajectory(); });
      ASSERT_TRUE(error);
      EXPECT_EQ(error->kind(), ErrorKind::kComputation);
      EXPECT_EQ(error->message(),
                std::string("Distance distribution lost all positive weight in the ") + c.where +
                    ": rounding residue of the convolution outgrew it. The diffusion coefficient "
                    "D = 1e-14 m^2/s is too small for this photon record and grid; use a larger "
                    "one.");
      EXPECT_EQ(run.take_console(), c.console) << threads;
    }
  }
}

}  // namespace
}  // namespace pelmora::testing
