#include "engine/photon_chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "state/distance_distribution.h"
#include "support/engine_fixture.h"

namespace pelmora::testing {
namespace {

const std::vector<PhotonRecipe> kPhotons = {{0, kAcceptorPhoton}, {40, kDonorPhoton},
                                            {55, kDonorPhoton},   {55, kAcceptorPhoton},
                                            {300, kDonorPhoton},  {301, kAcceptorPhoton}};

// At each photon the weighted vector is the propagated one times the
// photon's colour probability, point by point; at the first photon both are
// its colour probability normalised.  The most negative weight is the
// smallest propagated value of all steps so far (0 if none is negative), on
// grids of even and odd length and with a coefficient small enough for the
// rounding residue to leave negative weights.
TEST(PhotonChain, WeightedIsPropagatedTimesColour) {
  for (int distance_bins : {50, 51}) {
    for (double diffusion : {1.0, 1e-4}) {
      EngineFixture run(kPhotons, distance_bins, 0.0, 13.0, diffusion);
      const int bins = run.bins();
      for (ScanDirection direction : {ScanDirection::kForward, ScanDirection::kBackward}) {
        PhotonChain chain(run.grid, run.photons, direction, run.fft, run.diff_coeff);
        ASSERT_TRUE(chain.start());
        double sum = 0.0;
        for (int i = 0; i < bins; ++i) {
          ASSERT_EQ(chain.weighted()[i], chain.propagated()[i]);
          sum += chain.propagated()[i];
        }
        EXPECT_NEAR(sum, 1.0, 1e-12);
        EXPECT_EQ(chain.most_negative(), 0.0);
        double lowest = 0.0;
        for (int k = chain.next_photon(chain.first_photon()); k >= 0 && k < 6;
             k = chain.next_photon(k)) {
          ASSERT_TRUE(chain.advance(k));
          const DVector& colour =
              run.grid.colour_probability(run.photons.photon_types[static_cast<std::size_t>(k)]);
          for (int i = 0; i < bins; ++i) {
            ASSERT_EQ(chain.weighted()[i], chain.propagated()[i] * colour[i]) << k;
            lowest = std::min(lowest, chain.propagated()[i]);
          }
          const double most_negative = chain.most_negative();
          EXPECT_EQ(std::memcmp(&most_negative, &lowest, sizeof lowest), 0)
              << distance_bins << " bins, D " << diffusion << ": " << most_negative << " vs "
              << lowest;
        }
        if (diffusion < 1) {
          EXPECT_LT(lowest, 0.0) << "no negative weight to look for";
        }
      }
    }
  }
}

// Resuming from a weighted vector repeats the very same steps.
TEST(PhotonChain, ResumeRepeatsTheSameNumbers) {
  EngineFixture run(kPhotons);
  PhotonChain chain(run.grid, run.photons, ScanDirection::kForward, run.fft, run.diff_coeff);
  ASSERT_TRUE(chain.start());
  ASSERT_TRUE(chain.advance(1));
  ASSERT_TRUE(chain.advance(2));
  const std::vector<double> at_two(chain.weighted().begin(), chain.weighted().end());
  ASSERT_TRUE(chain.advance(3));
  ASSERT_TRUE(chain.advance(4));
  const std::vector<double> at_four(chain.propagated().begin(), chain.propagated().end());

  PhotonChain again(run.grid, run.photons, ScanDirection::kForward, run.fft, run.diff_coeff);
  again.resume(2, at_two);
  ASSERT_TRUE(again.advance(3));
  ASSERT_TRUE(again.advance(4));
  EXPECT_TRUE(std::equal(at_four.begin(), at_four.end(), again.propagated().begin()));
}

// With the default range the grid points below 0 nm have E = 1: a donor
// photon rules them out exactly.
TEST(PhotonChain, DonorPhotonRulesOutNegativeDistances) {
  EngineFixture run({{0, kAcceptorPhoton}, {20, kDonorPhoton}, {45, kAcceptorPhoton}}, 400);
  const AnalysisSettings& s = run.settings;
  PhotonChain chain(run.grid, run.photons, ScanDirection::kForward, run.fft, run.diff_coeff);
  ASSERT_TRUE(chain.start());
  ASSERT_TRUE(chain.advance(1));
  int negative_points = 0;
  for (int i = 0; i < s.internal_bins; ++i) {
    if (grid_point_position(s.internal_rmin, s.internal_rmax, i, s.internal_bins) >= 0) break;
    ++negative_points;
    EXPECT_EQ(chain.weighted()[i], 0.0);
  }
  EXPECT_EQ(negative_points, 400);
}

}  // namespace
}  // namespace pelmora::testing
