#include "engine/time_grid.h"

#include <gtest/gtest.h>

#include "support/engine_fixture.h"

namespace pelmora::testing {
namespace {

TEST(TimeGrid, SliceTimesSpanThePhotonRecord) {
  const double expected[] = {0, 200, 400, 600, 800, 1000};
  for (int j = 0; j < 6; ++j) EXPECT_EQ(slice_time(0, 1000, j, 6), expected[j]);
}

// A photon exactly at a slice time counts as passed going forward and as not
// yet passed going backward, so both passes start from it with a step of 0;
// among photons sharing a time, forward takes the last and backward the first.
TEST(TimeGrid, SchedulesFollowTheWalkRules) {
  const PhotonList photons =
      photon_list_of(alternating_photons({0, 150, 200, 200, 200, 550, 1000}));
  const SliceSchedule forward = forward_slice_schedule(photons, 6);
  const SliceSchedule backward = backward_slice_schedule(photons, 6);
  EXPECT_EQ(forward.photon, (std::vector<int>{0, 4, 4, 5, 5, 6}));
  EXPECT_EQ(backward.photon, (std::vector<int>{0, 2, 5, 6, 6, 6}));
  EXPECT_EQ(forward.time, (std::vector<double>{0, 200, 400, 600, 800, 1000}));
  EXPECT_EQ(backward.time, forward.time);
}

}  // namespace
}  // namespace pelmora::testing
