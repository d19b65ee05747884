#include "cli/time_bins.h"

#include <gtest/gtest.h>

#include "state/run_settings.h"

namespace pelmora {
namespace {

TimeBinsOutcome settle(int time_bins, double increment, double t_first, double t_last) {
  RunSettings settings;
  settings.time_bins = time_bins;
  settings.time_increment = increment;
  return settle_time_bins(settings, t_first, t_last);
}

TEST(TimeBins, GivenCountWinsOverIncrement) {
  const TimeBinsOutcome outcome = settle(500, 2.0, 0, 10);
  EXPECT_FALSE(outcome.error);
  EXPECT_EQ(outcome.time_bins, 500);
}

TEST(TimeBins, DefaultAndDerivedCounts) {
  EXPECT_EQ(settle(0, 0, 0, 10).time_bins, 1000);
  EXPECT_EQ(settle(0, 1.0, 0, 999.4).time_bins, 1000);  // floor(999.4 + 1.5)
  EXPECT_EQ(settle(0, 250, 20, 1020).time_bins, 5);
  EXPECT_EQ(settle(99999, 0, 0, 1).time_bins, 99999);
}

TEST(TimeBins, RangeErrors) {
  struct Case {
    int time_bins;
    double increment, t_first, t_last;
    const char* message;
  };
  const Case cases[] = {
      {3, 0, 0, 1, "\n\nERROR: number of time slices (3) must be > 3.\n"},
      {-7, 0, 0, 1, "\n\nERROR: number of time slices (-7) must be > 3.\n"},
      {100000, 0, 0, 1, "\n\nERROR: number of time slices (100000) must be < 100000.\n"},
      // floor(99998.5 + 1.5) is exactly 100000: not "too small", but too many.
      {0, 1.0, 0, 99998.5, "\n\nERROR: number of time slices (100000) must be < 100000.\n"},
      {0, 1.0, 0, 99999.5,
       "\n\nERROR: Time grid resolution too small; would allocate 100001 grid points.\n"},
      {0, 1e-30, 0, 1000,
       "\n\nERROR: Time grid resolution too small; would allocate "
       "999999999999999945575230987042816 grid points.\n"},
  };
  for (const Case& c : cases) {
    const TimeBinsOutcome outcome = settle(c.time_bins, c.increment, c.t_first, c.t_last);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(*outcome.error, c.message);
  }
}

TEST(TimeBins, NegativeIncrementWarnsThenFailsWithZero) {
  const TimeBinsOutcome outcome = settle(0, -2.0, 0, 10);
  ASSERT_EQ(outcome.warnings.size(), 1u);
  EXPECT_EQ(outcome.warnings[0], "\n\nWARNING: Time grid resolution must be positive.\n");
  ASSERT_TRUE(outcome.error);
  EXPECT_EQ(*outcome.error, "\n\nERROR: number of time slices (0) must be > 3.\n");
}

}  // namespace
}  // namespace pelmora
