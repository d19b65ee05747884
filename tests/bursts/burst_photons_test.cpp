#include "bursts/burst_photons.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "bursts/burst_export.h"
#include "bursts/measurement_builder.h"
#include "input/photon_parser.h"
#include "state/photon_list.h"
#include "state/text_format.h"

namespace pelmora {
namespace {

using testing::make_measurement;

double below(double x) {
  return std::nextafter(x, -std::numeric_limits<double>::infinity());
}
double above(double x) {
  return std::nextafter(x, std::numeric_limits<double>::infinity());
}

TEST(BurstPhotons, WindowTakesTheAnalysedPhotonsFromStartToStopInclusive) {
  // 10-ns ticks; photons 1 and 2 share a timestamp.
  const Measurement m = make_measurement({100, 200, 200, 300, 400, 500, 600}, "DAdDaAD", 1e-8);
  struct Case {
    const char* name;
    double t_start_s, t_stop_s;
    std::size_t begin, end;  // all photons of the window
    std::vector<double> times_us;
    std::vector<std::uint8_t> acceptor;
    std::int64_t first_timestamp;
  };
  const Case cases[] = {
      {"photons exactly at both ends are in",
       m.seconds(1),
       m.seconds(4),
       1,
       5,
       {0, 1},
       {1, 0},
       200},
      {"a hair inside excludes them",
       above(m.seconds(2)),
       below(m.seconds(4)),
       3,
       4,
       {0},
       {0},
       300},
      {"a hair outside changes nothing",
       below(m.seconds(1)),
       above(m.seconds(4)),
       1,
       5,
       {0, 1},
       {1, 0},
       200},
      // Times count from the first analysed photon, not from the first in
      // the window (photon 4 is under acceptor excitation).
      {"first photon not analysed", m.seconds(4), m.seconds(6), 4, 7, {0, 1}, {1, 0}, 500},
      {"the whole record", -1, 1, 0, 7, {0, 1, 2, 4, 5}, {0, 1, 0, 1, 0}, 100},
      {"between photons", above(m.seconds(0)), below(m.seconds(1)), 1, 1, {}, {}, 0},
      {"after the last photon", above(m.seconds(6)), 1, 7, 7, {}, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PhotonRange range = photons_in_window(m, c.t_start_s, c.t_stop_s);
    EXPECT_EQ(range.begin, c.begin);
    EXPECT_EQ(range.end, c.end);
    const BurstPhotons photons = burst_photons(m, {0, c.t_start_s, c.t_stop_s});
    ASSERT_EQ(photons.times_us.size(), c.times_us.size());
    for (std::size_t i = 0; i < c.times_us.size(); ++i) {
      EXPECT_EQ(photons.times_us[i], static_cast<double>(static_cast<float>(c.times_us[i])));
    }
    EXPECT_EQ(photons.acceptor, c.acceptor);
    if (!c.times_us.empty()) {
      EXPECT_EQ(photons.first_timestamp, c.first_timestamp);
    }
  }
}

// The analysed photons as a photon file with their unshifted float times,
// as a user would write the burst by hand.
std::string raw_photon_text(const Measurement& m) {
  std::string text;
  std::int64_t first = -1;
  int index = 0;
  for (std::size_t i = 0; i < m.timestamps.size(); ++i) {
    if (!is_donor_excited(m.flags[i])) continue;
    if (first < 0) first = m.timestamps[i];
    const auto t = static_cast<float>(static_cast<double>(m.timestamps[i] - first) *
                                      (m.description.timestamps_unit * 1e6));
    text += format_text("%d 0 %.9g %d 0 0 0 0\n", ++index, static_cast<double>(t),
                        is_acceptor(m.flags[i]) ? 4 : 0);
  }
  return text;
}

TEST(BurstPhotons, TimesAreThoseThePhotonReaderHolds) {
  struct Case {
    const char* name;
    Measurement measurement;
    int shifted;
    bool unordered;
  };
  const Case cases[] = {
      {"12.5-ns ticks far from zero",
       make_measurement({300000000000, 300000000007, 300000000123, 300000250001, 300000400000},
                        "DAdAD", 12.5e-9),
       0, false},
      // Equal timestamps: the second photon moves 0.01 us, onto the third,
      // which moves on in turn.
      {"simultaneous photons",
       make_measurement({1000, 1000, 1001, 1003, 1003, 5000}, "DADAAD", 1e-8), 3, false},
      {"beyond 262144 us a shift is lost to rounding",
       make_measurement({0, 30000000, 30000000}, "DAD", 1e-8), 1, false},
      // 1-ns ticks: the moved photon passes the next, 5 ns later; and with
      // 10-ns ticks, a photon moved onto the next moves that one past a third.
      {"a moved photon passes the next", make_measurement({1000, 1000, 1005}, "DAD", 1e-9), 1,
       true},
      {"moves that cascade past a photon", make_measurement({1000, 1000, 1001, 1001}, "DADA", 1e-8),
       2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BurstPhotons photons = burst_photons(c.measurement, {0, -1, 1e9});
    EXPECT_EQ(photons.shifted, c.shifted);
    EXPECT_EQ(photons.unordered, c.unordered);

    PhotonList read;
    const PhotonParseOutcome outcome = parse_photon_text(raw_photon_text(c.measurement), read);
    if (c.unordered) {
      ASSERT_TRUE(outcome.error.has_value());
      EXPECT_EQ(outcome.error->kind, PhotonErrorKind::kNotSorted);
      continue;
    }
    ASSERT_FALSE(outcome.error.has_value()) << outcome.error->message;
    EXPECT_EQ(static_cast<int>(outcome.warnings.size()), c.shifted);
    ASSERT_EQ(read.photon_count, static_cast<int>(photons.times_us.size()));
    for (int i = 0; i < read.photon_count; ++i) {
      EXPECT_EQ(read.photon_times[i], photons.times_us[static_cast<std::size_t>(i)]) << i;
      EXPECT_EQ(read.photon_types[i] == kAcceptorPhoton,
                photons.acceptor[static_cast<std::size_t>(i)] != 0);
    }
  }
}

TEST(BurstExport, ReadsBackAsTheSameFloats) {
  // Floats that need all nine digits, neighbours of round decimals, both
  // sides of 262144 (where the float spacing passes 0.01), and many random
  // ones.
  std::vector<float> times = {0.0f,
                              1e-7f,
                              std::nextafter(0.1f, 1.0f),
                              1.0f / 3.0f,
                              std::nextafter(1.0f, 0.0f),
                              123.456789f,
                              std::nextafter(1000.0f, 0.0f),
                              1000.0f,
                              std::nextafter(1000.0f, 2000.0f),
                              262143.99f,
                              262144.0f,
                              std::nextafter(262144.0f, 1e6f),
                              8388607.5f,
                              16777215.0f};
  std::mt19937 random(9);
  std::uniform_real_distribution<float> uniform(0.0f, 1e6f);
  for (int i = 0; i < 20000; ++i) times.push_back(uniform(random));
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());

  BurstPhotons photons;
  for (std::size_t i = 0; i < times.size(); ++i) {
    photons.times_us.push_back(static_cast<double>(times[i]));
    photons.acceptor.push_back(i % 3 == 0 ? 1 : 0);
  }
  PhotonList read;
  const PhotonParseOutcome outcome = parse_photon_text(burst_photon_text(photons), read);
  ASSERT_FALSE(outcome.error.has_value()) << outcome.error->message;
  EXPECT_TRUE(outcome.warnings.empty());
  ASSERT_EQ(read.photon_count, static_cast<int>(times.size()));
  for (int i = 0; i < read.photon_count; ++i) {
    const auto k = static_cast<std::size_t>(i);
    ASSERT_EQ(read.photon_times[i], photons.times_us[k]) << i;
    ASSERT_EQ(read.photon_types[i], photons.acceptor[k] != 0 ? kAcceptorPhoton : kDonorPhoton);
  }
}

}  // namespace
}  // namespace pelmora
