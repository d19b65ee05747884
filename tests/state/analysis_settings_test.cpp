#include "state/analysis_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/caught_error.h"

namespace pelmora {
namespace {

TimeBinsOutcome settle(int time_bins, double increment, double t_first, double t_last) {
  return settle_time_bins(time_bins, increment, t_first, t_last);
}

// What a library caller gets for settings the command line would refuse:
// the command line's text, and nothing derived.
TEST(AnalysisSettings, RefusedOptions) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    AnalysisOptions options;
    const char* message;
  };
  const Case cases[] = {
      {{0.0, 0.0, std::nullopt, 400}, "Foerster radius must be > 0."},
      {{std::nan(""), 0.0, std::nullopt, 400}, "Foerster radius must be > 0."},
      {{6.5, inf, std::nullopt, 400}, "Invalid minimum distance: not a finite number."},
      {{6.5, 0.0, std::nan(""), 400}, "Invalid maximum distance: not a finite number."},
      {{6.5, 0.0, std::nullopt, 49}, "number of distance bins must be > 49."},
      {{6.5, 0.0, std::nullopt, 20000}, "number of distance bins must be < 20000."},
      {{6.5, -1e308, 1e308, 400},
       "Distance range too wide: extended by its own width on each side, it exceeds "
       "the range of numbers."},
  };
  for (const Case& c : cases) {
    const std::optional<Error> error = testing::caught_error([&] { derive_settings(c.options); });
    ASSERT_TRUE(error) << c.message;
    EXPECT_EQ(error->kind(), ErrorKind::kInput);
    EXPECT_EQ(error->message(), c.message);
  }
  // A confined model's grid takes fewer points: from 10 on.
  AnalysisOptions confined;
  confined.fewest_distance_bins = kMinConfinedBins;
  confined.distance_bins = 9;
  const std::optional<Error> few = testing::caught_error([&] { derive_settings(confined); });
  ASSERT_TRUE(few);
  EXPECT_EQ(few->message(), "number of distance bins must be > 9.");
  confined.distance_bins = 10;
  EXPECT_EQ(derive_settings(confined).distance_bins, 10);
  const AnalysisSettings defaults = derive_settings({});
  EXPECT_EQ(defaults.max_distance, 13.0);
  EXPECT_EQ(defaults.internal_bins, 1200);
  EXPECT_EQ(defaults.fft_length, 2048);
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
      {3, 0, 0, 1, "number of time slices (3) must be > 3."},
      {-7, 0, 0, 1, "number of time slices (-7) must be > 3."},
      {100000, 0, 0, 1, "number of time slices (100000) must be < 100000."},
      // floor(99998.5 + 1.5) is exactly 100000: not "too small", but too many.
      {0, 1.0, 0, 99998.5, "number of time slices (100000) must be < 100000."},
      {0, 1.0, 0, 99999.5, "Time grid resolution too small; would allocate 100001 grid points."},
      {0, 1e-30, 0, 1000,
       "Time grid resolution too small; would allocate "
       "999999999999999945575230987042816 grid points."},
      // A NaN never reaches the conversion to int.
      {0, std::nan(""), 0, 1000, "Time grid resolution must be a finite number."},
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
  EXPECT_EQ(outcome.warnings[0], "Time grid resolution must be positive.");
  ASSERT_TRUE(outcome.error);
  EXPECT_EQ(*outcome.error, "number of time slices (0) must be > 3.");
}

}  // namespace
}  // namespace pelmora
