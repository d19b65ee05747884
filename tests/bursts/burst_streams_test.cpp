// A burst's photon streams and what is read off them: E and S, the selection
// by any column, and the shares of photons whose colour owes nothing to the
// distance.
#include "bursts/burst_streams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "bursts/burst_photons.h"
#include "bursts/burst_selection.h"
#include "bursts/colour_shares.h"
#include "bursts/measurement_builder.h"
#include "support/caught_error.h"

namespace pelmora {
namespace {

using testing::caught_error;

bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

Measurement alex_measurement(std::vector<std::int64_t> ticks, std::string_view kinds) {
  Measurement m = testing::make_measurement(std::move(ticks), kinds);
  m.description.measurement_type = "smFRET-usALEX";
  m.description.alex = AlexSettings{};
  return m;
}

TEST(BurstStreams, EfficiencyAndStoichiometryWithAndWithoutCorrections) {
  constexpr double kNaN = BurstStreams::kNone;
  struct Case {
    const char* name;
    BurstCounts counts;
    BackgroundCounts background;
    FretCorrections corrections;
    BurstStreams expected;  // n_dd_corr, n_da_corr, n_aa_corr, E_raw, S_raw, E, S
  };
  const Case cases[] = {
      {"background only: E and S are the raw ones",
       {95, 40, 30, 20},
       {2, 1, 4},
       {},
       {38, 29, 16, 29.0 / 67, 67.0 / 83, 29.0 / 67, 67.0 / 83}},
      // F_A = 29 - 0.1 38 - 0.05 16 = 24.4; gamma n_dd = 30.4.
      {"gamma, leakage, direct excitation and beta",
       {95, 40, 30, 20},
       {2, 1, 4},
       {0.8, 0.1, 0.05, 1.25},
       {38, 29, 16, 29.0 / 67, 67.0 / 83, 24.4 / 54.8, 54.8 / (54.8 + 12.8)}},
      {"no acceptor excitation: nothing of n_aa, no S",
       {70, 40, 30, std::nullopt},
       {2, 1, 4},
       {0.8, 0.1, 0, 1},
       {38, 29, kNaN, 29.0 / 67, kNaN, 25.2 / 55.6, kNaN}},
      {"more background than photons: no ratios",
       {10, 3, 2, 5},
       {4, 2, 6},
       {},
       {-1, 0, -1, kNaN, kNaN, kNaN, kNaN}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BurstStreams s = burst_streams(c.counts, c.background, c.corrections);
    const BurstStreams& e = c.expected;
    const double got[] = {s.n_dd_corr, s.n_da_corr, s.n_aa_corr, s.E_raw, s.S_raw, s.E, s.S};
    const double want[] = {e.n_dd_corr, e.n_da_corr, e.n_aa_corr, e.E_raw, e.S_raw, e.E, e.S};
    for (std::size_t k = 0; k < std::size(got); ++k) {
      if (std::isnan(want[k])) {
        EXPECT_TRUE(std::isnan(got[k])) << k;
      } else {
        EXPECT_NEAR(got[k], want[k], 1e-14) << k;
      }
    }
    if (c.corrections.none()) {
      EXPECT_TRUE(same_bits(s.E, s.E_raw));
      EXPECT_TRUE(same_bits(s.S, s.S_raw));
    }
  }
}

// n_aa counts the acceptor channel under acceptor excitation, and only a
// measurement with acceptor excitation has it; the window's background is
// the rates times its duration.
TEST(BurstStreams, AcceptorExcitationCountsAndTheirBackground) {
  //                                       D  A  a  d  a  A  D
  const Measurement alex = alex_measurement({0, 1, 2, 3, 4, 5, 9}, "DAadaAD");
  Background background;
  background.windows.resize(1);
  background.windows[0].rates.donor.rate_hz = 1e5;
  background.windows[0].rates.acceptor.rate_hz = 2e5;
  background.windows[0].rates.acceptor_excited.rate_hz = 3e5;
  const Burst burst = describe_burst(alex, {3, 0, 5e-6}, background, {});
  EXPECT_EQ(burst.counts.photons, 6);
  EXPECT_EQ(burst.counts.donor, 1);
  EXPECT_EQ(burst.counts.acceptor, 2);
  EXPECT_EQ(burst.counts.acceptor_excited, 2);
  EXPECT_DOUBLE_EQ(burst.streams.n_dd_corr, 0.5);
  EXPECT_DOUBLE_EQ(burst.streams.n_da_corr, 1.0);
  EXPECT_DOUBLE_EQ(burst.streams.n_aa_corr, 0.5);
  const Measurement plain = testing::make_measurement({0, 1, 2}, "DAD");
  EXPECT_FALSE(count_burst_photons(plain, 0, 2e-6).acceptor_excited);
}

Burst burst_with(double e, double s, std::int64_t photons) {
  Burst burst;
  burst.counts.donor = photons;
  burst.streams.E = e;
  burst.streams.S = s;
  return burst;
}

TEST(BurstSelection, RangesOfAnyColumn) {
  struct Case {
    const char* text;
    BurstColumn column;
    std::optional<double> low, high;
  };
  for (const Case& c : {Case{"S=0.2:0.8", BurstColumn::kStoichiometry, 0.2, 0.8},
                        Case{"photons_analysed=50:", BurstColumn::kPhotonsAnalysed, 50, {}},
                        Case{"E_raw=:0.5", BurstColumn::kRawEfficiency, {}, 0.5},
                        Case{"n_aa_corr=:", BurstColumn::kAACorrected, {}, {}},
                        Case{"t_start_s=-1e3:1e3", BurstColumn::kStart, -1000, 1000},
                        Case{"E=0.5:0.5", BurstColumn::kEfficiency, 0.5, 0.5}}) {
    const BurstRange range = parse_burst_range(c.text);
    EXPECT_EQ(range.column, c.column) << c.text;
    EXPECT_EQ(range.low, c.low) << c.text;
    EXPECT_EQ(range.high, c.high) << c.text;
    EXPECT_EQ(range.text, c.text);
  }
  struct Refusal {
    const char* text;
    const char* message;
  };
  for (const Refusal& c : {
           Refusal{"S",
                   "Selection S: give COLUMN=LO:HI, either bound may be left empty "
                   "(S=0.2:0.8, photons_analysed=50:)."},
           Refusal{"S=0.2",
                   "Selection S=0.2: give COLUMN=LO:HI, either bound may be left empty "
                   "(S=0.2:0.8, photons_analysed=50:)."},
           Refusal{"photons=1:2",
                   "Selection photons=1:2: no column photons; the columns are burst, t_start_s, "
                   "t_stop_s, photons_window, photons_analysed, n_dd, n_da, n_aa, n_dd_corr, "
                   "n_da_corr, n_aa_corr, E_raw, S_raw, E, S."},
           Refusal{"S=0.8:0.2",
                   "Selection S=0.8:0.2: the lower bound 0.8 is above the upper "
                   "bound 0.2."},
           Refusal{"S=a:1", "Selection S=a:1: the bound 'a' is not a finite number."},
           Refusal{"S=0:nan", "Selection S=0:nan: the bound 'nan' is not a finite number."},
           Refusal{"S=0.2:0.8:", "Selection S=0.2:0.8:: the bound '0.8:' is not a finite number."},
       }) {
    const auto error = caught_error([&] { parse_burst_range(c.text); });
    ASSERT_TRUE(error) << c.text;
    EXPECT_EQ(error->kind(), ErrorKind::kInput);
    EXPECT_EQ(error->message(), c.message);
  }

  const std::vector<Burst> bursts = {burst_with(0.5, 0.5, 40), burst_with(0.1, 0.95, 60),
                                     burst_with(0.9, 0.1, 80),
                                     burst_with(BurstStreams::kNone, 0.5, 90)};
  const std::vector<BurstRange> fret = {parse_burst_range("S=0.2:0.8")};
  EXPECT_EQ(select_bursts(bursts, fret), (std::vector<std::size_t>{0, 3}));
  const std::vector<BurstRange> both = {parse_burst_range("S=0.2:0.8"), parse_burst_range("E=0:1"),
                                        parse_burst_range("n_dd=40:40")};
  EXPECT_EQ(select_bursts(bursts, both), (std::vector<std::size_t>{0}));

  // S on a measurement without acceptor excitation, and the warning of an
  // ALEX one without a selection by S.
  MeasurementDescription plain;
  plain.path = "m.h5";
  plain.measurement_type = "smFRET";
  const auto refused = caught_error([&] { check_ranges_for(fret, plain); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->message(),
            "Selection S=0.2:0.8: S needs acceptor-excitation photons (smFRET-usALEX or "
            "smFRET-nsALEX); m.h5 is of type smFRET.");
  const std::vector<BurstRange> by_e = {parse_burst_range("E=0:0.5")};
  EXPECT_FALSE(caught_error([&] { check_ranges_for(by_e, plain); }));
  EXPECT_FALSE(stoichiometry_warning(bursts, {}, plain));
  MeasurementDescription alex = plain;
  alex.alex = AlexSettings{};
  const std::optional<StoichiometryWarning> warning = stoichiometry_warning(bursts, by_e, alex);
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->text("--where S=0.2:0.8"),
            "1 of 4 bursts look donor-only (S > 0.8) and 1 acceptor-only (S < 0.2): they are "
            "analysed as FRET molecules at the ends of the distance range. Select the FRET "
            "population with --where S=0.2:0.8.");
  EXPECT_FALSE(stoichiometry_warning(bursts, fret, alex));
  EXPECT_FALSE(stoichiometry_warning(std::vector<Burst>{bursts[0]}, {}, alex));
}

// fdir = delta n_aa(corrected) / n joins the background's shares, under the
// one cap; without direct excitation the shares are the background's to the
// bit, as the scan mixed them before.
TEST(ColourShares, DirectExcitationJoinsTheBackground) {
  const BurstCounts counts{120, 60, 40, 20};
  FretCorrections c;
  c.dir_ex = 0.1;
  const CappedShares shares = burst_colour_shares(counts, {3, 2, 4}, 100, c);
  EXPECT_DOUBLE_EQ(shares.shares.donor, 0.03);
  EXPECT_DOUBLE_EQ(shares.shares.acceptor, 0.02);
  EXPECT_DOUBLE_EQ(shares.shares.direct, 0.016);
  EXPECT_FALSE(shares.capped);

  // Without direct excitation the shares are the background's to the bit.
  const BackgroundCounts expected[] = {{2, 1, 4}, {200, 100, 400}};
  std::vector<CappedShares> plain;
  std::vector<CappedShares> both;
  for (const BackgroundCounts& background : expected) {
    plain.push_back(burst_colour_shares(counts, background, 100, {}));
    both.push_back(burst_colour_shares(counts, background, 100, c));
    const BackgroundShares before = background_shares(background.donor, background.acceptor, 100);
    EXPECT_TRUE(same_bits(plain.back().shares.donor, before.donor));
    EXPECT_TRUE(same_bits(plain.back().shares.acceptor, before.acceptor));
    EXPECT_EQ(plain.back().shares.direct, 0.0);
  }
  // The second burst's background (200 + 100 of 100 photons) and direct
  // excitation (0.1 (20 - 400) < 0: none) exceed the cap.
  EXPECT_NEAR(both[0].shares.direct, 0.1 * (20 - 4) / 100, 1e-15);
  EXPECT_TRUE(both[1].capped);
  EXPECT_DOUBLE_EQ(both[1].shares.donor + both[1].shares.acceptor, kMaxBackgroundShare);
  const std::optional<ShareCapWarning> warning = share_cap_warning(both);
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->text(),
            "In 1 of 2 bursts the background and direct excitation were expected to give more "
            "than 50 % of the analysed photons (up to 300 %); their shares were scaled down "
            "together to 50 %, so these bursts keep some background in their signal.");
  EXPECT_FALSE(share_cap_warning(std::span(plain).first(1)));

  // Direct excitation needs n_aa.
  BurstCounts without = counts;
  without.acceptor_excited.reset();
  EXPECT_TRUE(caught_error([&] { burst_colour_shares(without, {}, 100, c); }));
  MeasurementDescription description;
  description.path = "m.h5";
  description.measurement_type = "smFRET";
  const auto refused = caught_error([&] { check_corrections_for(c, description); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->message(),
            "--dir-ex 0.1: direct excitation is scaled by each burst's acceptor-excitation "
            "photons (n_aa), and m.h5 (of type smFRET) has none (it needs smFRET-usALEX or "
            "smFRET-nsALEX).");
  EXPECT_FALSE(caught_error([&] { check_corrections_for({}, description); }));
}

}  // namespace
}  // namespace pelmora
