#include "engine/photon_scans.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/distance_distribution.h"
#include "support/engine_fixture.h"

namespace pelmora::testing {
namespace {

std::string progress_text(const std::vector<int>& values) {
  std::string text;
  char field[16];
  for (int value : values) {
    std::snprintf(field, sizeof field, "\b\b\b\b%3d%%", value);
    text += field;
  }
  return text;
}

TEST(PhotonScans, ProgressFieldsForThreePhotons) {
  EngineFixture run(alternating_photons({0, 10, 20}));
  forward_scan_photons(run.state());
  EXPECT_EQ(run.take_console(), "Forward scan photons ...      " + progress_text({50, 100}) +
                                    "  Done.\n");
  backward_scan_photons(run.state());
  EXPECT_EQ(run.take_console(), "Backward scan photons ...     " + progress_text({50, 100}) +
                                    "  Done.\n");
}

TEST(PhotonScans, ProgressFieldsForThousandAndOnePhotons) {
  std::vector<double> times;
  for (int i = 0; i <= 1000; ++i) times.push_back(5.0 * i);
  EngineFixture run(alternating_photons(times));
  std::vector<int> percentages;
  for (int p = 1; p <= 100; ++p) percentages.push_back(p);
  forward_scan_photons(run.state());
  EXPECT_EQ(run.take_console(),
            "Forward scan photons ...      " + progress_text(percentages) + "  Done.\n");
}

TEST(PhotonScans, ScanModeIsSilent) {
  EngineFixture run(alternating_photons({0, 10, 20, 30}), 50, 0, 13, 1.0, true);
  run.state().settings.diff_coeff = 1e-14;
  forward_scan_photons(run.state());
  backward_scan_photons(run.state());
  EXPECT_EQ(run.take_console(), "");
}

// Both modes run the same chain of propagations; trajectory mode stores each
// row already weighted by the photon's own colour, scan mode before it.
TEST(PhotonScans, TrajectoryRowsAreScanRowsTimesColour) {
  const std::vector<PhotonSpec> photons = {{0, kAcceptorPhoton}, {40, kDonorPhoton},
                                           {55, kDonorPhoton},   {55, kAcceptorPhoton},
                                           {300, kDonorPhoton},  {301, kAcceptorPhoton}};
  EngineFixture trajectory(photons);
  EngineFixture scan(photons, 50, 0, 13, 1.0, true);
  scan.state().settings.diff_coeff = trajectory.state().settings.diff_coeff;
  for (EngineFixture* run : {&trajectory, &scan}) {
    forward_scan_photons(run->state());
    backward_scan_photons(run->state());
  }
  const RunState& t = trajectory.state();
  const RunState& s = scan.state();
  const int bins = t.settings.internal_bins;
  const int last = t.photons.photon_count - 1;
  for (int i = 0; i < bins; ++i) {
    ASSERT_EQ(t.photon_forward[0][i], s.photon_forward[0][i]);
    ASSERT_EQ(t.photon_backward[last][i], s.photon_backward[last][i]);
  }
  double first_row_sum = 0.0;
  for (int i = 0; i < bins; ++i) first_row_sum += t.photon_forward[0][i];
  EXPECT_NEAR(first_row_sum, 1.0, 1e-12);

  for (int k = 0; k <= last; ++k) {
    const DVector& colour = t.photons.photon_types[k] == kDonorPhoton
                                ? t.grid.one_minus_efficiency
                                : t.grid.efficiency;
    for (int i = 0; i < bins; ++i) {
      if (k >= 1) {
        ASSERT_EQ(t.photon_forward[k][i], s.photon_forward[k][i] * colour[i]) << k;
      }
      if (k <= last - 1) {
        ASSERT_EQ(t.photon_backward[k][i], s.photon_backward[k][i] * colour[i]) << k;
      }
    }
  }
}

// With the default range the grid points below 0 nm have E = 1: a donor
// photon rules them out exactly.
TEST(PhotonScans, DonorRowsVanishBelowZero) {
  const std::vector<PhotonSpec> photons = {
      {0, kAcceptorPhoton}, {20, kDonorPhoton}, {45, kAcceptorPhoton}, {70, kDonorPhoton}};
  EngineFixture run(photons, 400);
  forward_scan_photons(run.state());
  backward_scan_photons(run.state());
  const RunState& state = run.state();
  const RunSettings& s = state.settings;
  int negative_points = 0;
  for (int i = 0; i < s.internal_bins; ++i) {
    if (grid_point_position(s.internal_rmin, s.internal_rmax, i, s.internal_bins) >= 0) break;
    ++negative_points;
    for (int k : {1, 3}) {
      EXPECT_EQ(state.photon_forward[k][i], 0.0);
      EXPECT_EQ(state.photon_backward[k][i], 0.0);
    }
  }
  EXPECT_EQ(negative_points, 400);
}

TEST(PhotonScansDeathTest, VanishedDistributionEndsTheRun) {
  // Every point of -10..-5 nm (internal -15..0) has E = 1: a donor photon
  // leaves nothing.
  const std::vector<PhotonSpec> photons = {
      {0, kAcceptorPhoton}, {10, kDonorPhoton}, {20, kAcceptorPhoton}};
  EXPECT_EXIT(
      {
        EngineFixture run(photons, 50, -10, -5);
        run.state().console = Console(stderr);
        forward_scan_photons(run.state());
      },
      ::testing::ExitedWithCode(1),
      "ERROR: Distance distribution vanished in the forward photon scan after photon 2 "
      "\\(t=10.000000 mu s\\)");
}

}  // namespace
}  // namespace pelmora::testing
