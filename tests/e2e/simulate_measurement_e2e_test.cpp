// The measurement simulator: deterministic files that the reader and h5py
// read alike, whose photons agree with the alternation scheme and with
// FRET at the chosen distances, and whose distance walks keep the
// equilibrium distribution of their model.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bursts/burst_photons.h"
#include "bursts/burst_streams.h"
#include "input/photon_hdf5.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

const std::string kSimulator =
    (std::filesystem::path(PELMORA_BINARY).parent_path() / "simulate_measurement").string();

void simulate(const ScratchDir& folder, std::vector<std::string> arguments) {
  arguments.push_back("m.h5");
  const ProcessResult result = run_program(kSimulator, arguments, folder.path());
  ASSERT_EQ(result.status, 0) << result.standard_error;
}

TEST(SimulateMeasurement, SameSeedSameFileReadAlikeByH5py) {
  ScratchDir folder;
  const std::vector<std::string> options = {
      "--type",         "usALEX",    "--duration",       "2",      "--spots",   "0,2,5",
      "--marker-id",    "9",         "--timestamp-type", "uint32", "--strings", "nulpad",
      "--donor-window", "3000,1000", "--seed",           "7"};
  simulate(folder, options);
  // The file records its own name: the copies go to other folders.
  ScratchDir again;
  simulate(again, options);
  EXPECT_TRUE(folder.read("m.h5") == again.read("m.h5"));
  std::vector<std::string> other = options;
  other.back() = "8";
  simulate(again, other);
  EXPECT_FALSE(folder.read("m.h5") == again.read("m.h5"));

  MeasurementOverrides overrides;
  overrides.spot = 2;
  const Measurement measurement = read_photon_hdf5((folder / "m.h5").string(), overrides);
  const MeasurementDescription& d = measurement.description;
  EXPECT_EQ(d.spots, (std::vector<int>{0, 2, 5}));
  ASSERT_EQ(d.detectors.size(), 3u);
  EXPECT_EQ(d.detectors[2].detector, 9);
  const std::int64_t kept = d.detectors[0].photons + d.detectors[1].photons;
  EXPECT_EQ(static_cast<std::int64_t>(measurement.timestamps.size()), kept);

  // h5py counts the spot's photons and markers the same way.
  const ProcessResult h5py =
      run_program("/usr/bin/python3",
                  {"-c",
                   "import h5py; f = h5py.File('m.h5', 'r'); g = f['photon_data2']; "
                   "d = g['detectors'][:]; "
                   "print(len(g['timestamps']), int((d == 9).sum()), "
                   "g['measurement_specs/measurement_type'][()].decode())"},
                  folder.path());
  ASSERT_EQ(h5py.status, 0) << h5py.standard_error;
  EXPECT_EQ(h5py.standard_output, std::to_string(kept + d.detectors[2].photons) + " " +
                                      std::to_string(d.detectors[2].photons) + " smFRET-usALEX\n");

  // Every true burst of spot 2 lies within the spot's photons.
  const std::vector<std::string> truth = split_lines(folder.read("m.bursts.csv"));
  ASSERT_GT(truth.size(), 1u);
  EXPECT_EQ(truth[0], "burst,t_start_s,t_stop_s,photons,spot");
  int spot_two = 0;
  for (std::size_t i = 1; i < truth.size(); ++i) {
    double start = 0, stop = 0;
    long long photons = 0;
    int spot = -1;
    ASSERT_EQ(std::sscanf(truth[i].c_str(), "%*d,%lf,%lf,%lld,%d", &start, &stop, &photons, &spot),
              4);
    if (spot != 2) continue;
    ++spot_two;
    EXPECT_LE(start, stop);
    EXPECT_GE(start, measurement.seconds(0) - 1e-9);
    EXPECT_LE(stop, measurement.seconds(measurement.timestamps.size() - 1) + 1e-9);
  }
  EXPECT_GT(spot_two, 0);
}

// With the distance held near R0 (E about 0.5) and no background, the
// donor-excited photons split about evenly between the channels and the
// acceptor laser lights only the acceptor channel.
TEST(SimulateMeasurement, PhotonsFollowTheSchemeAndFret) {
  for (const char* type : {"smFRET", "usALEX", "nsALEX"}) {
    SCOPED_TRACE(type);
    ScratchDir folder;
    simulate(folder, {"--type", type, "--duration", "20", "--burst-rate", "20", "--bg-donor", "0",
                      "--bg-acceptor", "0", "--rmin", "6.45", "--rmax", "6.55", "--seed", "3"});
    const Measurement measurement = read_photon_hdf5((folder / "m.h5").string());
    std::int64_t donor_excited = 0, fret = 0, direct_donor = 0;
    for (const std::uint8_t flags : measurement.flags) {
      if (is_donor_excited(flags)) {
        ++donor_excited;
        fret += is_acceptor(flags) ? 1 : 0;
      } else if (!is_acceptor(flags)) {
        ++direct_donor;
      }
    }
    const double photons = static_cast<double>(measurement.flags.size());
    ASSERT_GT(photons, 10000);
    EXPECT_EQ(direct_donor, 0);
    EXPECT_NEAR(static_cast<double>(fret) / static_cast<double>(donor_excited), 0.5, 0.03);
    EXPECT_NEAR(static_cast<double>(donor_excited) / photons,
                std::string(type) == "smFRET" ? 1.0 : 0.5, 0.03);
  }
}

// A setup with leakage, direct excitation and gamma, and molecules without
// one of their dyes: over the true windows of each population (no
// background) the counts give back the setup's values, and the corrected E
// and S of the FRET molecules (held at R0) are 1/2.
TEST(SimulateMeasurement, StreamsFollowTheSetupAndThePopulations) {
  ScratchDir folder;
  simulate(folder, {"--type",       "usALEX", "--duration",      "40",  "--burst-size", "100",
                    "--donor-only", "0.3",    "--acceptor-only", "0.2", "--leakage",    "0.07",
                    "--dir-ex",     "0.05",   "--gamma",         "0.8", "--beta",       "1.5",
                    "--bg-donor",   "0",      "--bg-acceptor",   "0",   "--rmin",       "6.49",
                    "--rmax",       "6.51",   "--seed",          "5"});
  const Measurement measurement = read_photon_hdf5((folder / "m.h5").string());
  std::map<std::string, BurstCounts> sums;
  const std::vector<std::string> truth = split_lines(folder.read("m.bursts.csv"));
  ASSERT_EQ(truth[0], "burst,t_start_s,t_stop_s,photons,population");
  for (std::size_t i = 1; i < truth.size(); ++i) {
    double start = 0, stop = 0;
    char population[32] = {};
    ASSERT_EQ(std::sscanf(truth[i].c_str(), "%*d,%lf,%lf,%*d,%31s", &start, &stop, population), 3);
    const BurstCounts counts = count_burst_photons(measurement, start, stop);
    BurstCounts& sum = sums[population];
    sum.donor += counts.donor;
    sum.acceptor += counts.acceptor;
    sum.acceptor_excited = sum.acceptor_excited.value_or(0) + *counts.acceptor_excited;
  }
  ASSERT_EQ(sums.size(), 3u);
  const auto ratio = [](std::int64_t a, std::int64_t b) {
    return static_cast<double>(a) / static_cast<double>(b);
  };
  const BurstCounts& donor_only = sums["donor-only"];
  const BurstCounts& acceptor_only = sums["acceptor-only"];
  EXPECT_NEAR(ratio(donor_only.acceptor, donor_only.donor), 0.07, 0.01);
  EXPECT_NEAR(ratio(acceptor_only.acceptor, *acceptor_only.acceptor_excited), 0.05, 0.01);
  FretCorrections corrections;
  corrections.leakage = 0.07;
  corrections.dir_ex = 0.05;
  corrections.gamma = 0.8;
  corrections.beta = 1.5;
  const BurstStreams fret = burst_streams(sums["FRET"], {}, corrections);
  EXPECT_NEAR(fret.E, 0.5, 0.02);
  EXPECT_NEAR(fret.S, 0.5, 0.02);
}

// Long walks (molecules crossing the focus for a few hundred ms) visit the
// distances as often as the model's P_eq says: the histogram of the true
// distance at every photon against P_eq integrated over each bin.
TEST(SimulateMeasurement, DistanceWalksKeepTheirEquilibrium) {
  struct Case {
    const char* model;
    double low, high;  // range of the histogram, nm
    std::function<double(double)> density;
  };
  const auto table = [](double r) {
    const double x[] = {1, 3, 5, 7, 9}, p[] = {0, 1, 0.2, 1.5, 0};
    for (int i = 0; i < 4; ++i) {
      if (r >= x[i] && r <= x[i + 1])
        return p[i] + (p[i + 1] - p[i]) * (r - x[i]) / (x[i + 1] - x[i]);
    }
    return 0.0;
  };
  const Case cases[] = {
      {"chain:6", 0, 20, [](double r) { return r * r * std::exp(-1.5 * r * r / 36); }},
      {"box:3:9", 3, 9, [](double) { return 1.0; }},
      {"pmf:pmf.txt", 1, 9, table},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    ScratchDir folder;
    folder.write("pmf.txt", "# distance density\n1 0\n3 1\n\n5 0.2\n7 1.5\n9 0\n");
    simulate(folder, {"--model",      c.model, "--duration",    "4",   "--burst-rate", "1",
                      "--burst-size", "3000",  "--transit-ms",  "200", "-D",           "3",
                      "--bg-donor",   "0",     "--bg-acceptor", "0",   "--seed",       "5",
                      "--trajectory", "t.csv"});
    constexpr int kBins = 10;
    std::vector<double> observed(kBins, 0.0);
    const std::vector<std::string> lines = split_lines(folder.read("t.csv"));
    ASSERT_GT(lines.size(), 5000u);
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const double r = std::stod(lines[i].substr(lines[i].rfind(',') + 1));
      ASSERT_TRUE(r >= c.low && r <= c.high) << r;
      observed[std::min(kBins - 1, static_cast<int>((r - c.low) / (c.high - c.low) * kBins))] +=
          1.0 / static_cast<double>(lines.size() - 1);
    }
    std::vector<double> expected(kBins, 0.0);
    double total = 0;
    constexpr int kSteps = 100000;
    for (int k = 0; k < kSteps; ++k) {
      const double r = c.low + (c.high - c.low) * (k + 0.5) / kSteps;
      expected[k * kBins / kSteps] += c.density(r);
      total += c.density(r);
    }
    for (int b = 0; b < kBins; ++b) EXPECT_NEAR(observed[b], expected[b] / total, 0.015) << b;
  }
}

TEST(SimulateMeasurement, BadOptionsPrintUsage) {
  struct Case {
    std::vector<std::string> arguments;
    const char* reason;
  };
  const Case cases[] = {
      {{"--bogus", "1", "m.h5"}, "unknown option --bogus"},
      {{"--type", "ALEX", "m.h5"}, "--type"},
      {{"--rmin", "5", "--rmax", "1", "m.h5"}, "--rmin must be below --rmax"},
      {{"--duration", "1"}, "no output file"},
      {{"--model", "spring:3", "m.h5"}, "Unknown model spring:3"},
      {{"--model", "chain:0", "m.h5"}, "rms distance must be > 0"},
      {{"--model", "chain:six", "m.h5"}, "'six' is not a number"},
      {{"--model", "box:9:3", "m.h5"}, "0 <= A < B"},
      {{"--model", "chain:6", "--rmax", "9", "m.h5"}, "walls of --model free"},
      {{"--model", "pmf:missing.txt", "m.h5"}, "Could not open the potential file missing.txt"},
      {{"--model", "pmf:two.txt", "m.h5"}, "two.txt: at least 3 points"},
      {{"--model", "pmf:negative.txt", "m.h5"}, "negative.txt, line 3: the density must be >= 0"},
      {{"--model", "pmf:zero.txt", "m.h5"}, "zero.txt: the densities are all zero"},
      {{"--model", "pmf:text.txt", "m.h5"}, "text.txt, line 2: two numbers expected"},
      {{"--model", "pmf:order.txt", "m.h5"}, "order.txt, line 3: the distances must increase"},
      {{"--type", "usALEX", "--donor-only", "0.7", "--acceptor-only", "0.5", "m.h5"},
       "sum to at most 1"},
      {{"--acceptor-only", "0.2", "m.h5"}, "need acceptor excitation"},
      {{"--gamma", "0", "m.h5"}, "--gamma and --beta must be > 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    ScratchDir folder;
    folder.write("two.txt", "1 1\n2 1\n");
    folder.write("negative.txt", "1 1\n2 1\n3 -0.5\n");
    folder.write("zero.txt", "1 0\n2 0\n3 0\n");
    folder.write("text.txt", "1 1\n2 one\n3 1\n");
    folder.write("order.txt", "1 1\n3 1\n2 1\n");
    const ProcessResult result = run_program(kSimulator, c.arguments, folder.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.standard_error.find(c.reason), std::string::npos) << result.standard_error;
    EXPECT_NE(result.standard_error.find("usage: simulate_measurement"), std::string::npos);
    EXPECT_FALSE(folder.exists("m.h5"));
  }
}

}  // namespace
}  // namespace pelmora::testing
