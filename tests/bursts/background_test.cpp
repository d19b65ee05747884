#include "bursts/background.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "bursts/burst_photons.h"
#include "bursts/burst_search.h"
#include "bursts/measurement_builder.h"
#include "support/caught_error.h"

namespace pelmora {
namespace {

using testing::generated;

void expect_near_rates(const StreamRates& rates, double all, double donor, double acceptor,
                       double tolerance) {
  EXPECT_NEAR(rates.all.rate_hz / all, 1, tolerance);
  EXPECT_NEAR(rates.donor.rate_hz / donor, 1, tolerance);
  EXPECT_NEAR(rates.acceptor.rate_hz / acceptor, 1, tolerance);
  EXPECT_FALSE(rates.all.fallback || rates.donor.fallback || rates.acceptor.fallback);
}

TEST(BackgroundEstimate, TailFitOfPoissonStreamsWithBursts) {
  // Donor- and acceptor-channel background under both excitations; all
  // photons 2500 Hz.  Twenty bursts a second of 60 photons at 100 kHz must not
  // raise the estimate.  120.5 s: the last half second joins window 2.
  const Measurement measurement =
      generated({{1200, 'D'}, {600, 'A'}, {300, 'd'}, {400, 'a'}}, 120.5, 0.05, 60, 7);
  const Background background = estimate_background(measurement, 60);
  EXPECT_TRUE(background.warnings.empty());
  expect_near_rates(background.whole, 2500, 1200, 600, 0.05);
  // The acceptor channel under acceptor excitation (n_aa's background).
  EXPECT_NEAR(background.whole.acceptor_excited.rate_hz / 400, 1, 0.05);
  ASSERT_EQ(background.windows.size(), 2u);
  for (const BackgroundWindow& window : background.windows) {
    expect_near_rates(window.rates, 2500, 1200, 600, 0.1);
  }
  EXPECT_NEAR(background.windows[1].t_stop_s, 120.5, 0.01);
  // The auto threshold is twice the mean background delay.
  EXPECT_NEAR(background.whole.donor.tail_threshold_s * 1200, 2, 0.1);
}

TEST(BackgroundEstimate, WindowsWithTooFewDelaysTakeTheWholeEstimate) {
  // Donor photons only, for 30 s, then three photons 1 ms apart at 35 s:
  // window 3 of 10 s has no delay above the threshold.
  Measurement measurement = generated({{2000, 'D'}}, 30, 0, 0, 11);
  for (const double t : {35.0, 35.001, 35.002}) {
    measurement.timestamps.push_back(static_cast<std::int64_t>(t / 12.5e-9));
    measurement.flags.push_back(kDonorExcitation);
  }
  const Background background = estimate_background(measurement, 10);
  ASSERT_EQ(background.windows.size(), 4u);
  const StreamRate& last = background.windows[3].rates.all;
  EXPECT_TRUE(last.fallback);
  EXPECT_EQ(last.rate_hz, background.whole.all.rate_hz);
  EXPECT_FALSE(background.windows[2].rates.all.fallback);
  EXPECT_TRUE(background.whole.acceptor.fallback);
  EXPECT_EQ(background.whole.acceptor.rate_hz, 0);
  const std::vector<std::string> expected = {
      "Background of all photons: 1 of 4 windows of 10 s have fewer than 100 delays "
      "above the tail threshold; they take the whole measurement's estimate.",
      "Background of the donor-channel photons (donor excitation): 1 of 4 windows of "
      "10 s have fewer than 100 delays above the tail threshold; they take the whole "
      "measurement's estimate.",
      "Background of the acceptor-channel photons (donor excitation): no "
      "inter-photon delay above the tail threshold; the background is taken as 0."};
  EXPECT_EQ(background.warnings, expected);
  // Only a measurement with acceptor excitation misses n_aa's background,
  // said apart from the analysed streams' warnings.
  measurement.description.alex = AlexSettings{};
  const Background alex = estimate_background(measurement, 10);
  EXPECT_EQ(alex.warnings, expected);
  ASSERT_EQ(alex.acceptor_excitation_warnings.size(), 1u);
  EXPECT_EQ(alex.acceptor_excitation_warnings.front(),
            "Background of the acceptor-channel photons (acceptor excitation): no inter-photon "
            "delay above the tail threshold; the background is taken as 0.");
}

TEST(BackgroundEstimate, ExpectedCountsFollowTheWindows) {
  Background background;
  background.windows.resize(2);
  background.windows[0].t_start_s = 0;
  background.windows[1].t_start_s = 60;
  background.windows[0].rates.donor.rate_hz = 100;
  background.windows[0].rates.acceptor.rate_hz = 10;
  background.windows[1].rates.donor.rate_hz = 200;
  background.windows[1].rates.acceptor.rate_hz = 20;
  background.windows[0].rates.acceptor_excited.rate_hz = 20;
  background.windows[1].rates.acceptor_excited.rate_hz = 40;
  struct Case {
    double t_start_s, t_stop_s, donor, acceptor;
  };
  const Case cases[] = {
      {10, 10.004, 0.4, 0.04},
      {59.5, 60.5, 150, 15},    // half in each window
      {-1, 0.5, 150, 15},       // the first window reaches back
      {1000, 1000.5, 100, 10},  // the last reaches forward
      {5, 5, 0, 0},
  };
  for (const Case& c : cases) {
    const BackgroundCounts counts = expected_background(background, c.t_start_s, c.t_stop_s);
    EXPECT_NEAR(counts.donor, c.donor, 1e-9) << c.t_start_s;
    EXPECT_NEAR(counts.acceptor, c.acceptor, 1e-9) << c.t_start_s;
    EXPECT_NEAR(counts.acceptor_excited, 2 * c.acceptor, 1e-9) << c.t_start_s;
  }
}

// Timestamps from -2^63 + 5 to 200 000: the span and the first delay do not
// fit an int64, and every difference of timestamps must still come out
// right, or be refused with a sentence.
TEST(BackgroundEstimate, TimestampsSpanningMoreThanTheInt64Range) {
  std::vector<std::int64_t> ticks = {std::numeric_limits<std::int64_t>::min() + 5};
  for (std::int64_t k = 1; k <= 200; ++k) ticks.push_back(1000 * k);

  // Ticks of 12.5 ns: 3650 years, too many windows of a minute.
  const auto refused = testing::caught_error(
      [&] { estimate_background(testing::make_measurement(ticks, "", 12.5e-9), 60); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->message(),
            "A background window of 60 s cuts the measurement into more than 1000000 windows.");

  // Ticks of 1 ps: 107 days, of which the last 200 ns hold 200 photons 1 ns
  // apart, the only burst; its photons keep their spacing.
  const Measurement measurement = testing::make_measurement(ticks, "", 1e-12);
  const Background background = estimate_background(measurement, 60);
  ASSERT_EQ(background.windows.size(), 153723u);
  EXPECT_EQ(background.window_of(ticks.back()), background.windows.size() - 1);
  // The one long delay, measured across the whole span, sets the second
  // threshold at twice its length.
  EXPECT_NEAR(background.whole.all.tail_threshold_s, 2 * 9223372.036855, 1e-3);
  BurstSearchOptions options;
  options.min_rate_khz = 1e3;
  const BurstSearchResult found = search_bursts(measurement, options, background);
  ASSERT_EQ(found.bursts.size(), 1u);
  EXPECT_EQ(found.bursts[0].counts.photons, 200);
  const BurstPhotons photons = burst_photons(measurement, found.bursts[0].window);
  ASSERT_EQ(photons.times_us.size(), 200u);
  EXPECT_NEAR(photons.times_us[199], 0.199, 1e-6);
}

}  // namespace
}  // namespace pelmora
