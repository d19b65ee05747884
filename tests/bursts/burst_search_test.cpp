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
  BurstEdges edges = BurstEdges::kTrimmed;
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
      // m = 3 at 125 kHz: T = 16 us, T / (m - 1) = 8 us.  The run reaches
      // from 88 to 118 us; 88 lies 12 us before the next photon and 118 as
      // far after the one before: they are left out, unless the windows' own
      // edges are asked for.
      {"isolated edge photons are left out",
       {0, 88, 100, 102, 104, 106, 118, 300},
       "",
       1e-6,
       3,
       125.0,
       1,
       {{2, 5}}},
      {"the windows' own edges",
       {0, 88, 100, 102, 104, 106, 118, 300},
       "",
       1e-6,
       3,
       125.0,
       1,
       {{1, 6}},
       0,
       {},
       0,
       6,
       BurstEdges::kWindows},
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
    options.edges = c.edges;
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
      {with([](auto& o) { o.method = BurstSearchMethod::kDualChannel; }),
       "the dual-channel search (dcbs) needs acceptor excitation (smFRET-usALEX or "
       "smFRET-nsALEX); m.h5 is of type smFRET."},
  };
  Measurement named = measurement;
  named.description.path = "m.h5";
  named.description.measurement_type = "smFRET";
  for (const Case& c : cases) {
    const auto error = testing::caught_error([&] { search_bursts(named, c.options, background); });
    ASSERT_TRUE(error.has_value()) << c.message;
    EXPECT_EQ(error->kind(), ErrorKind::kInput);
    EXPECT_EQ(error->message(), std::string("Burst search: ") + c.message);
  }
  const auto method = testing::caught_error([] { parse_burst_search_method("DCBS"); });
  ASSERT_TRUE(method.has_value());
  EXPECT_EQ(method->message(),
            "Burst search: method DCBS: apbs (all photons, one stream) or dcbs (dual-channel: the "
            "donor- and the acceptor-excitation stream, both in a burst at once).");
}

// The dual-channel search keeps where both streams burst at once: the
// donor-excitation photons (D, A) and the acceptor-excitation acceptor
// photons (a).  m = 3 at 125 kHz: T = 16 us in 1-us ticks.
TEST(BurstSearch, DualChannelKeepsWhereBothStreamsBurst) {
  Measurement measurement =
      make_measurement({0, 100, 102, 104, 106, 108, 110, 112, 116,  // FRET: both streams
                        300, 304, 308, 312,         // donor-only: donor excitation alone
                        500, 504, 508, 600, 1000},  // acceptor-only: acceptor excitation alone
                       "DDaAaDaAD"
                       "DADA"
                       "aaaDD");
  measurement.description.alex = AlexSettings{};
  BurstSearchOptions options;
  options.m = 3;
  options.min_rate_khz = 125.0;
  options.min_photons = 1;
  options.method = BurstSearchMethod::kDualChannel;
  const BurstSearchResult dual = search_bursts(measurement, options, Background{});
  ASSERT_EQ(dual.bursts.size(), 1u);
  // From the acceptor stream's start (102 us) to its stop (110 us), inside
  // the donor stream's burst (100 to 116 us).
  const PhotonRange range = photons_in_window(measurement, dual.bursts[0].window.t_start_s,
                                              dual.bursts[0].window.t_stop_s);
  EXPECT_EQ(range.begin, 2u);
  EXPECT_EQ(range.end, 7u);
  EXPECT_EQ(dual.bursts[0].counts.acceptor_excited, 3);
  EXPECT_EQ(dual.acceptor_excitation_threshold_s, dual.threshold_s);
  // The all-photons search keeps the donor-only molecule too (and finds the
  // acceptor-only one, without analysed photons).
  options.method = BurstSearchMethod::kAllPhotons;
  const BurstSearchResult all = search_bursts(measurement, options, Background{});
  EXPECT_EQ(all.bursts.size(), 2u);
  EXPECT_EQ(all.too_small, 1);

  // With F, each stream by its own background rate: none for the acceptor
  // excitation here.
  Background background;
  background.windows.resize(1);
  background.windows[0].rates.donor.rate_hz = 1000;
  options.min_rate_khz.reset();
  options.method = BurstSearchMethod::kDualChannel;
  const auto error =
      testing::caught_error([&] { search_bursts(measurement, options, background); });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->message(),
            "Burst search: the background rate of the acceptor-channel photons under acceptor "
            "excitation could not be estimated; give a minimum rate instead of F.");
}

}  // namespace
}  // namespace pelmora
