#include "bursts/burst_search.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bursts/background.h"
#include "bursts/burst_photons.h"
#include "bursts/measurement_builder.h"
#include "support/caught_error.h"

namespace pelmora {
namespace {

using testing::make_measurement;

struct Expected {
  std::size_t first;  // photon indices the table window selects, inclusive
  std::size_t last;
  BurstCounts counts{};  // checked when photons > 0
};

struct SearchCase {
  const char* name;
  std::vector<std::int64_t> ticks;
  std::string kinds;
  double unit;
  int m;
  std::optional<double> min_rate_khz;
  int min_photons;
  std::vector<Expected> bursts;
  std::int64_t too_small = 0;
  // With F: hand-set rates of all photons per background window of
  // `window_ticks`, instead of a minimum rate.
  std::vector<double> window_rates_hz{};
  double window_ticks = 0;
  double F = 6;
};

Background hand_background(const Measurement& measurement, const SearchCase& c) {
  Background background;
  background.origin_timestamp = measurement.timestamps.front();
  background.window_ticks = c.window_ticks;
  for (const double rate : c.window_rates_hz) {
    BackgroundWindow window;
    window.rates.all.rate_hz = rate;
    background.windows.push_back(window);
  }
  return background;
}

TEST(BurstSearch, SlidingWindowBursts) {
  const SearchCase cases[] = {
      // m = 3 at 125 kHz: T = 16 us (exactly, in 1-us ticks).  Photons
      // 100..116 span T: a burst; 300..317 span 17 us: none.
      {"window of exactly T is in, T + 1 tick is out",
       {0, 100, 108, 116, 300, 308, 317, 500},
       "",
       1e-6,
       3,
       125.0,
       1,
       {{1, 3}}},
      // The first burst starts at photon 0; the last window is in a burst,
      // so that burst ends at the last photon, not one before.
      {"bursts at the very start and the very end",
       {0, 5, 10, 200, 400, 405, 410, 415},
       "",
       1e-6,
       3,
       125.0,
       1,
       {{0, 2}, {4, 7}}},
      // m = 4 at 125 kHz: T = 24 us.  Window 1 (8..36) is out, windows 0 and
      // 2 are in: their runs share photons 2 and 3 and become one burst.
      {"runs sharing photons are fused",
       {0, 8, 16, 24, 36, 40, 44, 48, 200},
       "",
       1e-6,
       4,
       125.0,
       1,
       {{0, 7}}},
      {"runs apart stay apart",
       {0, 8, 16, 24, 100, 108, 116, 124, 300},
       "",
       1e-6,
       4,
       125.0,
       1,
       {{0, 3}, {4, 7}}},
      // Picosecond ticks, m = 2, T = 100 ps: two runs 350 ps apart share no
      // photon but their nanosecond table windows [0, 1 ns] would touch.
      {"runs whose table windows would touch are fused",
       {0, 50, 400, 450, 5000},
       "",
       1e-12,
       2,
       1e7,
       1,
       {{0, 3}}},
      // Both clusters have 5 photons; the second has 2 under acceptor
      // excitation, so 3 analysed photons, fewer than 4.
      {"bursts with too few analysed photons are dropped",
       {0, 2, 4, 6, 8, 100, 102, 104, 106, 108, 200, 202, 204, 206, 208, 300},
       "DADAA"
       "DdAaD"
       "aDDAA"
       "D",
       1e-6,
       3,
       125.0,
       4,
       {{0, 4, {5, 2, 3}}, {10, 14, {5, 2, 2}}},
       1},
      {"fewer photons than m", {0, 1}, "", 1e-6, 3, 125.0, 1, {}},
      // F = 2, m = 3: T = 1 / rate.  Background windows of 1000 ticks with
      // rates of 100 kHz (T = 10 us) and 50 kHz (T = 20 us): the same
      // cluster of 15 us is a burst in the second window only.  The window
      // of a photon triple is that of its first photon.
      {"F times the rate of the window of the first photon",
       {0, 100, 107, 115, 995, 1002, 1010, 1100, 1107, 1115, 1500},
       "",
       1e-6,
       3,
       std::nullopt,
       1,
       {{7, 9}},
       0,
       {1e5, 5e4},
       1000,
       2},
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Measurement measurement = make_measurement(c.ticks, c.kinds, c.unit);
    BurstSearchOptions options;
    options.m = c.m;
    options.min_rate_khz = c.min_rate_khz;
    options.min_photons = c.min_photons;
    options.F = c.F;
    // A given minimum rate needs no background at all.
    const Background background =
        c.window_rates_hz.empty() ? Background{} : hand_background(measurement, c);
    const BurstSearchResult result = search_bursts(measurement, options, background);
    ASSERT_EQ(result.bursts.size(), c.bursts.size());
    EXPECT_EQ(result.too_small, c.too_small);
    for (std::size_t b = 0; b < c.bursts.size(); ++b) {
      const BurstWindow& window = result.bursts[b].window;
      EXPECT_EQ(window.number, static_cast<std::int64_t>(b));
      const PhotonRange range = photons_in_window(measurement, window.t_start_s, window.t_stop_s);
      EXPECT_EQ(range.begin, c.bursts[b].first) << "burst " << b;
      EXPECT_EQ(range.end, c.bursts[b].last + 1) << "burst " << b;
      const BurstCounts& counts = result.bursts[b].counts;
      if (c.bursts[b].counts.photons > 0) {
        EXPECT_EQ(counts.photons, c.bursts[b].counts.photons) << "burst " << b;
        EXPECT_EQ(counts.donor, c.bursts[b].counts.donor) << "burst " << b;
        EXPECT_EQ(counts.acceptor, c.bursts[b].counts.acceptor) << "burst " << b;
      }
    }
  }
}

TEST(BurstSearch, RefusesOptionsOutOfRange) {
  const Measurement measurement = make_measurement({0, 1, 2, 3});
  const Background background = estimate_background(measurement, 60);
  struct Case {
    BurstSearchOptions options;
    const char* message;
  };
  const auto with = [](auto change) {
    BurstSearchOptions options;
    change(options);
    return options;
  };
  const Case cases[] = {
      {with([](auto& o) { o.m = 1; }), "m must be at least 2 (found 1)."},
      {with([](auto& o) { o.F = 0; }), "F must be a positive number (found 0)."},
      {with([](auto& o) { o.min_rate_khz = -5.0; }),
       "the minimum rate must be a positive number of kHz (found -5)."},
      {with([](auto& o) { o.min_photons = 0; }), "min_photons must be at least 1 (found 0)."},
      // Four photons 1 us apart: no delay above 250 us, no background.
      {with([](auto&) {}),
       "the background rate of all photons could not be estimated; give a minimum rate instead "
       "of F."},
  };
  for (const Case& c : cases) {
    const auto error =
        testing::caught_error([&] { search_bursts(measurement, c.options, background); });
    ASSERT_TRUE(error.has_value()) << c.message;
    EXPECT_EQ(error->kind(), ErrorKind::kInput);
    EXPECT_EQ(error->message(), std::string("Burst search: ") + c.message);
  }
}

}  // namespace
}  // namespace pelmora
