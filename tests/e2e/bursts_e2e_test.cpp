// pelmora-bursts on simulated measurements: its log L are pelmora's for the
// exported bursts, shares combine to the whole run byte for byte, the search
// finds the simulated bursts, the joint P(D) finds the simulated D, the
// estimate and its interval agree in every output, and bad input is refused
// with a message and nothing written.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bursts/d_estimate.h"
#include "hdf5/dataset.h"
#include "pelmora/analysis.h"
#include "pelmora/version.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

std::string beside_pelmora(const char* name) {
  return (std::filesystem::path(PELMORA_BINARY).parent_path() / name).string();
}

const std::string kBursts = beside_pelmora("pelmora-bursts");
const std::string kSimulator = beside_pelmora("simulate_measurement");

ProcessResult bursts(const std::vector<std::string>& arguments, const ScratchDir& folder) {
  return run_program(kBursts, arguments, folder.path(), {"PELMORA_THREADS=2"});
}

// summary.json without the line that records the command, which differs
// from run to run.
std::string without_command(const std::string& summary) {
  std::string kept;
  for (const std::string& line : split_lines(summary)) {
    if (line.find("\"command\": ") == std::string::npos) kept += line + "\n";
  }
  return kept;
}

// One simulated 300-burst µs-ALEX measurement (D = 1e-14 m^2/s), its burst
// table and the log L of every burst, shared by the tests of this file.
class BurstsProgram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<ScratchDir>();
    const ProcessResult simulated =
        run_program(kSimulator,
                    {"--duration", "60", "--type", "usALEX", "--burst-rate", "5", "--burst-size",
                     "240", "-D", "1", "--seed", "11", "m.h5"},
                    folder_->path());
    ASSERT_EQ(simulated.status, 0) << simulated.standard_error;
    const ProcessResult searched = bursts({"search", "m.h5", "-o", "bursts.csv", "-q"}, *folder_);
    ASSERT_EQ(searched.status, 0) << searched.standard_error;
    const ProcessResult scanned = bursts(
        {"scan",    "m.h5",      "--bursts", "bursts.csv", "-Dmin",     "0.3",         "-Dmax",
         "3",       "-n",        "11",       "-d",         "50",        "--loglik",    "loglik.csv",
         "--joint", "joint.dat", "-o",       "results.h5", "--summary", "summary.json"},
        *folder_);
    ASSERT_EQ(scanned.status, 0) << scanned.standard_error;
    scan_console_ = scanned.standard_error;
  }
  static void TearDownTestSuite() { folder_.reset(); }

  static const ScratchDir& folder() { return *folder_; }
  static const std::string& scan_console() { return scan_console_; }

  // log_L of loglik.csv by burst label, in coefficient order.
  static std::map<long long, std::vector<double>> log_likelihoods(const std::string& name) {
    std::map<long long, std::vector<double>> values;
    const std::vector<std::string> lines = split_lines(folder().read(name));
    for (std::size_t k = 1; k < lines.size(); ++k) {
      const std::string& line = lines[k];
      const long long label = std::stoll(line.substr(0, line.find(',')));
      const std::string field = line.substr(line.rfind(',') + 1);
      double value = 0;
      std::from_chars(field.data(), field.data() + field.size(), value);
      values[label].push_back(value);
    }
    return values;
  }

 private:
  static std::unique_ptr<ScratchDir> folder_;
  static std::string scan_console_;
};

std::unique_ptr<ScratchDir> BurstsProgram::folder_;
std::string BurstsProgram::scan_console_;

// The log L of a burst is, bit for bit, what pelmora computes for the burst
// exported as a photon file (through the library, which prints the console's
// values; pinned_outputs_e2e_test ties the two together).
TEST_F(BurstsProgram, LogLikelihoodsArePelmorasForTheExportedBursts) {
  const auto values = log_likelihoods("loglik.csv");
  AnalysisOptions options;
  options.distance_bins = 50;
  const AnalysisSettings settings = derive_settings(options);
  const std::vector<double> coefficients = log_spaced_coefficients(0.3e-14, 3e-14, 11);
  for (const long long label : {0, 1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144}) {
    const std::string name = "burst" + std::to_string(label) + ".txt";
    const ProcessResult exported = bursts(
        {"export", "m.h5", "--bursts", "bursts.csv", "--burst", std::to_string(label), "-o", name},
        folder());
    ASSERT_EQ(exported.status, 0) << exported.standard_error;
    const PhotonList photons = read_photon_file((folder() / name).string(), silent_observer());
    const LikelihoodScanResult scan = scan_likelihood(photons, settings, coefficients);
    ASSERT_EQ(values.at(label).size(), 11u) << label;
    for (std::size_t i = 0; i < 11; ++i) {
      EXPECT_EQ(values.at(label)[i], scan.runs[i].log_likelihood)
          << "burst " << label << ", D " << i;
    }
  }
  // And once through pelmora itself.
  const ProcessResult pelmora =
      run_pelmora({"-Dmin", "0.3", "-Dmax", "3", "-n", "11", "-d", "50", "burst5.txt", "pd.dat"},
                  folder().path());
  ASSERT_EQ(pelmora.status, 0) << pelmora.standard_error;
  char shown[64];
  std::snprintf(shown, sizeof shown, "log L = %10.5f", values.at(5)[3]);
  EXPECT_NE(pelmora.standard_error.find(shown), std::string::npos) << shown;
}

TEST_F(BurstsProgram, SharesCombineToTheWholeRun) {
  ScratchDir shares;
  std::filesystem::copy(folder() / "m.h5", shares / "m.h5");
  std::filesystem::copy(folder() / "bursts.csv", shares / "bursts.csv");
  for (const char* shard : {"1/3", "2/3", "3/3"}) {
    const ProcessResult share = bursts(
        {"scan", "m.h5", "--bursts", "bursts.csv", "-Dmin", "0.3", "-Dmax", "3", "-n", "11", "-d",
         "50", "--shard", shard, "--loglik", std::string("share") + shard[0] + ".csv", "-q"},
        shares);
    ASSERT_EQ(share.status, 0) << share.standard_error;
  }
  const ProcessResult combined =
      bursts({"combine", "share3.csv", "share1.csv", "share2.csv", "--loglik", "all.csv", "--joint",
              "joint.dat", "--summary", "summary.json"},
             shares);
  ASSERT_EQ(combined.status, 0) << combined.standard_error;
  EXPECT_TRUE(shares.read("all.csv") == folder().read("loglik.csv"));
  EXPECT_EQ(shares.read("joint.dat"), folder().read("joint.dat"));
  EXPECT_EQ(without_command(shares.read("summary.json")),
            without_command(folder().read("summary.json")));

  // A share of another run is refused, and nothing is written.
  const ProcessResult other = bursts({"scan", "m.h5", "--bursts", "bursts.csv", "-n", "11", "-d",
                                      "50", "--shard", "2/3", "--loglik", "other.csv", "-q"},
                                     shares);
  ASSERT_EQ(other.status, 0) << other.standard_error;
  const ProcessResult mixed =
      bursts({"combine", "share1.csv", "other.csv", "share3.csv", "--loglik", "mixed.csv"}, shares);
  EXPECT_EQ(mixed.status, 1);
  EXPECT_NE(mixed.standard_error.find("come from different runs"), std::string::npos)
      << mixed.standard_error;
  EXPECT_FALSE(shares.exists("mixed.csv"));
}

// Free diffusion asked for by name is the run without the option, to the
// bit; shares of another model do not combine with it.
TEST_F(BurstsProgram, FreeByNameIsTheSameRunAndModelsDoNotMix) {
  ScratchDir named;
  std::filesystem::copy(folder() / "m.h5", named / "m.h5");
  std::filesystem::copy(folder() / "bursts.csv", named / "bursts.csv");
  const ProcessResult scanned =
      bursts({"scan",    "m.h5",      "--bursts",     "bursts.csv",   "-Dmin",    "0.3",
              "-Dmax",   "3",         "-n",           "11",           "-d",       "50",
              "--model", "free",      "--background", "off",          "--loglik", "loglik.csv",
              "--joint", "joint.dat", "--summary",    "summary.json", "-q"},
             named);
  ASSERT_EQ(scanned.status, 0) << scanned.standard_error;
  for (const char* name : {"loglik.csv", "joint.dat"}) {
    EXPECT_TRUE(named.read(name) == folder().read(name)) << name;
  }
  EXPECT_EQ(without_command(named.read("summary.json")),
            without_command(folder().read("summary.json")));
  for (const auto& [model, share] : {std::pair{"free", "1/2"}, std::pair{"chain:6", "2/2"}}) {
    const ProcessResult part =
        bursts({"scan", "m.h5", "--bursts", "bursts.csv", "-Dmin", "0.3", "-Dmax", "3", "-n", "11",
                "-d", "50", "--model", model, "--shard", share, "--loglik",
                std::string(share, 1) + ".csv", "-q"},
               named);
    ASSERT_EQ(part.status, 0) << part.standard_error;
  }
  const ProcessResult mixed = bursts({"combine", "1.csv", "2.csv", "--loglik", "mixed.csv"}, named);
  EXPECT_EQ(mixed.status, 1);
  EXPECT_NE(mixed.standard_error.find("come from different runs"), std::string::npos)
      << mixed.standard_error;
}

// The search finds at least 90 % of the simulated bursts, and the joint P(D)
// is largest within a factor 1.5 of the simulated D.
TEST_F(BurstsProgram, FindsTheSimulatedBurstsAndTheirD) {
  const auto read_windows = [&](const std::string& name) {
    std::vector<std::pair<double, double>> windows;
    const std::vector<std::string> lines = split_lines(folder().read(name));
    for (std::size_t k = 1; k < lines.size(); ++k) {
      const std::size_t first = lines[k].find(',');
      const std::size_t second = lines[k].find(',', first + 1);
      const std::size_t third = lines[k].find(',', second + 1);
      windows.emplace_back(std::stod(lines[k].substr(first + 1, second - first - 1)),
                           std::stod(lines[k].substr(second + 1, third - second - 1)));
    }
    return windows;
  };
  const auto truth = read_windows("m.bursts.csv");
  const auto found = read_windows("bursts.csv");
  ASSERT_GE(truth.size(), 250u);
  int recovered = 0;
  for (const auto& [start, stop] : truth) {
    for (const auto& [found_start, found_stop] : found) {
      if (found_start <= stop && start <= found_stop) {
        ++recovered;
        break;
      }
    }
  }
  EXPECT_GE(recovered, 0.9 * static_cast<double>(truth.size()));

  double best_d = 0;
  double best_p = -1;
  for (const std::string& line : split_lines(folder().read("joint.dat"))) {
    const double d = std::stod(line.substr(0, line.find(' ')));
    const double p = std::stod(line.substr(line.find(' ') + 1));
    if (p > best_p) best_p = p, best_d = d;
  }
  EXPECT_GT(best_d, 1e-14 / 1.5);
  EXPECT_LT(best_d, 1e-14 * 1.5);
}

// The estimate is the one the library gives for loglik.csv, to the bit, and
// summary.json, results.h5 and the console show the same numbers.  One burst
// has no interval, and says so; --bootstrap 0 asks for none.
TEST_F(BurstsProgram, EstimateAgreesInEveryOutput) {
  const nlohmann::json summary = nlohmann::json::parse(folder().read("summary.json"));
  AnalysedBursts rows;
  rows.cells = 11;
  for (const auto& [label, values] : log_likelihoods("loglik.csv")) {
    rows.rows.insert(rows.rows.end(), values.begin(), values.end());
    ++rows.count;
  }
  const GridAxis axis{"D_m2_per_s", log_spaced_coefficients(0.3e-14, 3e-14, 11),
                      AxisScale::kLogarithmic};
  const JointEstimate e = estimate_joint(rows, {axis, std::nullopt}, {1000, 1});
  const AxisEstimate& d = e.coefficient;
  EXPECT_EQ(summary["model"], "free");
  EXPECT_EQ(summary["bursts"], rows.count);
  EXPECT_EQ(summary["bursts_left_out"], 0);
  EXPECT_EQ(summary["D_m2_per_s"].get<double>(), d.peak.value);
  EXPECT_EQ(summary["ci68_m2_per_s"], nlohmann::json::array({d.ci68->low, d.ci68->high}));
  EXPECT_EQ(summary["ci95_m2_per_s"], nlohmann::json::array({d.ci95->low, d.ci95->high}));
  EXPECT_EQ(summary["interval"], "bootstrap");
  EXPECT_EQ(summary["D_refinement"], "parabola");
  EXPECT_EQ(summary["bootstrap"]["resamples"], 1000);
  EXPECT_EQ(summary["bootstrap"]["seed"], 1);
  EXPECT_EQ(summary["D_grid_m2_per_s"].get<std::vector<double>>(), axis.values);
  EXPECT_EQ(summary["joint_log_L"].get<std::vector<double>>(), e.joint_log_likelihood);
  // Free diffusion fitted to a confined walk: below the simulated 1e-14.
  EXPECT_GT(d.peak.value, 0.6e-14);
  EXPECT_LT(d.ci95->high, 1e-14);

  const hdf5::File results = hdf5::File::open((folder() / "results.h5").string());
  EXPECT_EQ(hdf5::read_number(results, "/estimate/D_m2_per_s"), d.peak.value);
  EXPECT_EQ(hdf5::read_numbers(results, "/estimate/ci95_m2_per_s", 2),
            (std::vector<double>{d.ci95->low, d.ci95->high}));
  EXPECT_EQ(hdf5::read_numbers(results, "/estimate/bootstrap_D_m2_per_s", 1000), d.resampled);
  EXPECT_EQ(hdf5::read_text_attribute(results, "/estimate", "model"), "free");

  char line[256];
  std::snprintf(line, sizeof line,
                "\nD = %.4g m^2/s (68 %%: %.4g to %.4g; 95 %%: %.4g to %.4g; bootstrap of %zu "
                "bursts, 1000 resamples, seed 1).\n",
                d.peak.value, d.ci68->low, d.ci68->high, d.ci95->low, d.ci95->high, rows.count);
  EXPECT_NE(scan_console().find(line), std::string::npos) << scan_console();

  ScratchDir scratch;
  for (const char* label : {"5", "6"}) {
    const ProcessResult exported = bursts(
        {"export", (folder() / "m.h5").string(), "--bursts", (folder() / "bursts.csv").string(),
         "--burst", label, "-o", std::string("burst") + label + ".txt"},
        scratch);
    ASSERT_EQ(exported.status, 0) << exported.standard_error;
  }
  struct Case {
    std::vector<std::string> arguments;
    const char* interval;
    const char* console;
  };
  const Case cases[] = {
      {{"burst5.txt"}, "single burst", "(a single burst: no bootstrap, no interval)."},
      {{"burst5.txt", "burst6.txt", "--bootstrap", "0"},
       "not asked",
       "(no interval: --bootstrap 0)."},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"scan", "-Dmin", "0.3", "-Dmax",     "3",       "-n",
                                          "11",   "-d",    "50",  "--summary", "one.json"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ProcessResult scanned = bursts(arguments, scratch);
    ASSERT_EQ(scanned.status, 0) << scanned.standard_error;
    EXPECT_NE(scanned.standard_error.find(c.console), std::string::npos) << scanned.standard_error;
    const nlohmann::json one = nlohmann::json::parse(scratch.read("one.json"));
    EXPECT_EQ(one["interval"], c.interval);
    EXPECT_TRUE(one["ci68_m2_per_s"].is_null());
    EXPECT_TRUE(one["ci95_m2_per_s"].is_null());
    EXPECT_GT(one["D_m2_per_s"].get<double>(), 0);
  }
}

TEST_F(BurstsProgram, RefusalsNameTheFaultAndWriteNothing) {
  ScratchDir scratch;
  std::filesystem::copy(folder() / "m.h5", scratch / "m.h5");
  scratch.write("photons.txt", "1 0 0 0 0 0 0 0\n2 0 5 4 0 0 0 0\n3 0 9 0 0 0 0 0\n");
  scratch.write("bad.csv", "burst,t_start_s,t_stop_s\n0,1.0,2.0\n1,1.5,3.0\n");
  scratch.write("pmf.txt", "# r P\n1 0.5\n2 x\n3 1\n");
  struct Case {
    std::vector<std::string> arguments;
    const char* message;
  };
  const Case cases[] = {
      {{"scan", "m.h5"}, "writes nothing without --loglik, --joint, -o or --summary"},
      {{"scan", "m.h5", "--shard", "4/3", "--loglik", "out.csv"}, "--shard"},
      {{"scan", "m.h5", "--shard", "1/3", "--joint", "out.csv"},
       "writes its part of --loglik only"},
      {{"scan", "m.h5", "--shard", "1/3", "--loglik", "out.csv", "--seed", "3"},
       "writes its part of --loglik only"},
      {{"scan", "m.h5", "--summary", "out.csv", "--bootstrap", "-5"}, "--bootstrap takes 0"},
      {{"scan", "m.h5", "--summary", "out.csv", "--seed", "x"}, "--seed takes a whole number"},
      {{"scan", "m.h5", "--bursts", "bad.csv", "--loglik", "out.csv"}, "bad.csv, line 3"},
      {{"scan", "m.h5", "-Dmin", "5", "-Dmax", "2", "--loglik", "out.csv"},
       "Maximum diffusion coefficient must be > Minimum diffusion coefficient"},
      {{"scan", "m.h5", "--loglik", "m.h5"}, "is the input file"},
      {{"scan", "m.h5", "photons.txt", "--loglik", "out.csv"}, "takes one Photon-HDF5 file"},
      {{"info", "photons.txt"}, "photons.txt"},
      {{"search", "m.h5", "-o", "out.csv", "--spot", "3"}, "spot"},
      {{"scan", "m.h5", "--frobnicate", "1", "--loglik", "out.csv"},
       "takes no option --frobnicate"},
      {{"combine", "bad.csv", "--loglik", "out.csv"}, "not a share"},
      {{"frobnicate"}, "has no command"},
      {{"scan", "m.h5", "--model", "spring:3", "--loglik", "out.csv"}, "Unknown model spring:3"},
      {{"scan", "m.h5", "--model", "chain:0", "--loglik", "out.csv"}, "rms distance must be > 0"},
      {{"scan", "m.h5", "--model", "box:9:3", "--loglik", "out.csv"}, "0 <= A < B"},
      {{"scan", "m.h5", "--model", "pmf:pmf.txt", "--loglik", "out.csv"}, "pmf.txt, line 3"},
      {{"scan", "m.h5", "--background", "lots", "--loglik", "out.csv"}, "Background lots"},
      {{"scan", "photons.txt", "--background", "auto", "--loglik", "out.csv"},
       "--background auto estimates the rates from a Photon-HDF5"},
      {{"scan", "m.h5", "--model", "chain:6", "-max", "9", "--loglik", "out.csv"},
       "Options -min and -max set the distance range of free diffusion"},
      {{"scan", "missing.hdf5", "--loglik", "out.csv"}, "Could not read from file missing.hdf5"},
      {{"combine", "missing.csv", "--loglik", "out.csv"}, "Could not read from file missing.csv"},
      {{"scan", "m.h5", "--shard", "1/2", "--loglik", "out.csv", "--grid", "g.csv"},
       "writes its part of --loglik only"},
      {{"scan", "m.h5", "--grid", "out.csv", "-o", "r.h5"}, "--grid writes the cells"},
      {{"scan", "m.h5", "--model", "box:2:10", "-d", "2001", "--loglik", "out.csv"},
       "at most 2000 distance points"},
      {{"scan", "m.h5", "--model", "chain:6", "-d", "9", "--loglik", "out.csv"},
       "number of distance bins must be > 9"},
      {{"scan", "m.h5", "-d", "10", "--loglik", "out.csv"}, "number of distance bins must be > 49"},
      // The setup's corrections, the selection and the search method.
      {{"scan", "m.h5", "--gamma", "0", "--loglik", "out.csv"}, "--gamma 0: gamma"},
      {{"scan", "m.h5", "--gamma", "-2", "--loglik", "out.csv"}, "--gamma -2: gamma"},
      {{"scan", "m.h5", "--leakage", "1", "--loglik", "out.csv"}, "--leakage 1: the leakage"},
      {{"search", "m.h5", "--leakage", "-0.1", "-o", "out.csv"}, "--leakage -0.1: the leakage"},
      {{"scan", "m.h5", "--dir-ex", "inf", "--loglik", "out.csv"},
       "Option --dir-ex takes a finite number"},
      {{"scan", "m.h5", "--beta", "0", "--loglik", "out.csv"}, "--beta 0: beta"},
      {{"scan", "m.h5", "--gamma", "1e308", "--loglik", "out.csv"},
       "the corrections alone would rule distances in or out"},
      {{"scan", "m.h5", "--type", "smFRET", "--dir-ex", "0.05", "--loglik", "out.csv"},
       "--dir-ex 0.05: direct excitation is scaled by each burst's acceptor-excitation"},
      {{"scan", "m.h5", "--where", "Q=0:1", "--loglik", "out.csv"}, "no column Q; the columns"},
      {{"search", "m.h5", "--where", "S=0.8:0.2", "-o", "out.csv"},
       "the lower bound 0.8 is above the upper bound 0.2"},
      {{"search", "m.h5", "--where", "S", "-o", "out.csv"}, "give COLUMN=LO:HI"},
      {{"search", "m.h5", "--type", "smFRET", "--where", "S=0.2:0.8", "-o", "out.csv"},
       "type smFRET"},
      {{"search", "m.h5", "--type", "smFRET", "--search", "dcbs", "-o", "out.csv"}, "type smFRET"},
      {{"search", "m.h5", "--search", "fast", "-o", "out.csv"},
       "Option --search: Burst search: method fast"},
      {{"scan", "photons.txt", "--where", "S=0.2:0.8", "--loglik", "out.csv"},
       "need a Photon-HDF5 file"},
      {{"corrections", "m.h5", "--type", "smFRET", "-o", "out.csv"}, "type smFRET"},
      {{"corrections", "m.h5", "-o", "m.h5"}, "(-o) is the input file m.h5 (measurement)"},
      // Neither population of this FRET-only simulation has 20 bursts.
      {{"corrections", "m.h5", "-o", "out.csv"},
       "Neither the leakage nor the direct excitation could be estimated"},
  };
  for (const Case& c : cases) {
    const ProcessResult result = bursts(c.arguments, scratch);
    EXPECT_EQ(result.status, 1) << c.arguments[0] << " " << c.message;
    EXPECT_NE(result.standard_error.find("ERROR:"), std::string::npos) << result.standard_error;
    EXPECT_NE(result.standard_error.find(c.message), std::string::npos) << result.standard_error;
    EXPECT_FALSE(scratch.exists("out.csv")) << c.message;
  }
  const ProcessResult simd = run_program(kBursts, {"scan", "m.h5", "--loglik", "out.csv"},
                                         scratch.path(), {"PELMORA_SIMD=wide"});
  EXPECT_EQ(simd.status, 1);
  EXPECT_NE(simd.standard_error.find("PELMORA_SIMD must be scalar, sse2, avx2 or avx512"),
            std::string::npos)
      << simd.standard_error;
}

// A confined model takes its grid from 10 points on; every instruction set
// this processor has gives the scalar path's bytes for it, on one thread and
// on two.
TEST_F(BurstsProgram, SmallConfinedGridsGiveTheSameBytesOnEveryPath) {
  const std::vector<std::string> arguments = {
      "scan", "m.h5", "--bursts", "bursts.csv", "--model", "chain:6", "-d", "10",
      "-n",   "5",    "--loglik", "l.csv",      "--joint", "j.dat",   "-q"};
  ScratchDir scalar;
  std::filesystem::copy(folder() / "m.h5", scalar / "m.h5");
  std::filesystem::copy(folder() / "bursts.csv", scalar / "bursts.csv");
  const ProcessResult reference =
      run_program(kBursts, arguments, scalar.path(), {"PELMORA_SIMD=scalar"});
  ASSERT_EQ(reference.status, 0) << reference.standard_error;
  for (const char* path : {"sse2", "avx2", "avx512"}) {
    for (const char* threads : {"1", "2"}) {
      ScratchDir lanes;
      std::filesystem::copy(folder() / "m.h5", lanes / "m.h5");
      std::filesystem::copy(folder() / "bursts.csv", lanes / "bursts.csv");
      const ProcessResult result = run_program(
          kBursts, arguments, lanes.path(),
          {std::string("PELMORA_SIMD=") + path, std::string("PELMORA_THREADS=") + threads});
      if (result.status == 1 && result.standard_error.find("does not have") != std::string::npos) {
        continue;  // not on this processor
      }
      ASSERT_EQ(result.status, 0) << result.standard_error;
      EXPECT_TRUE(lanes.read("l.csv") == scalar.read("l.csv")) << path << ", " << threads;
      EXPECT_TRUE(lanes.read("j.dat") == scalar.read("j.dat")) << path << ", " << threads;
    }
  }
}

// --version and each command's --help go to the standard output with status
// 0; the help lists every option the command takes, the usage every command.
TEST(BurstsProgramConventions, HelpAndVersionOnTheStandardOutput) {
  const ScratchDir folder;
  const ProcessResult version = bursts({"--version"}, folder);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.standard_output, std::string("pelmora-bursts ") + kVersion + "\n");
  const ProcessResult help = bursts({"scan", "m.h5", "--help"}, folder);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.standard_error, "");
  for (const char* option :
       {"--bursts TABLE.csv", "--model MODEL", "--shard I/K", "-q", "--grid FILE.csv",
        "--bootstrap B", "-Dmin D", "--m M", "--spot N", "--where COLUMN=LO:HI", "--gamma G",
        "--leakage A", "--dir-ex D", "--beta B", "--search METHOD"}) {
    EXPECT_NE(help.standard_output.find(option), std::string::npos) << option;
  }
  for (const char* command : {"info", "search", "export", "combine", "corrections"}) {
    const ProcessResult one = bursts({"help", command}, folder);
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.standard_output.rfind(std::string("usage: pelmora-bursts ") + command, 0), 0u)
        << one.standard_output;
  }
}

}  // namespace
}  // namespace pelmora::testing
