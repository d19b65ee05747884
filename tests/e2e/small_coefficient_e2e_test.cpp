// Diffusion coefficients so small that the distribution hardly spreads
// between photons: the colour weights then amplify the convolution's rounding
// residue.  A distribution that keeps no positive weight ends a trajectory
// run with an error that says so and leaves a scan run out with P(D) = 0; a
// run whose residue merely grew large completes with a warning; a distance
// range that no photon colour fits is refused before any scan.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

// A synthetic record of 3000 photons whose distance wanders from 0 to 20 nm.
class SlowMolecule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    record_ = new ScratchDir;
    const ProcessResult made = run_program(
        (std::filesystem::path(PELMORA_BINARY).parent_path() / "generate_photons").string(),
        {"-n", "3000", "-rate", "0.05", "-D", "1", "-R", "6.5", "-r0", "6.5", "-min", "0", "-max",
         "20", "-t0", "0", "-seed", "20240601", "photons.txt"},
        record_->path());
    ASSERT_EQ(made.status, 0);
  }
  static void TearDownTestSuite() {
    delete record_;
    record_ = nullptr;
  }
  static std::string record() { return (record_->path() / "photons.txt").string(); }

 private:
  static ScratchDir* record_;
};
ScratchDir* SlowMolecule::record_ = nullptr;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A scan run whose distribution collapses gets P(D) = 0 and a warning; the
// other runs are unaffected and still sum to 1.
TEST_F(SlowMolecule, CollapsedScanRunIsLeftOut) {
  ScratchDir folder;
  const ProcessResult result =
      run_pelmora({"-d", "50", "-n", "5", record(), "pd.dat"}, folder.path());
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(contains(result.standard_error,
                       "\nRun   1 of   5:   D = 1.00000e-16  m^2/s     log L undefined    WARNING: "
                       "distribution lost to rounding residue, D too small; P(D) = 0\n"
                       "Run   2 of   5:   D = 5.62341e-16  m^2/s     log L = "));
  EXPECT_TRUE(contains(result.standard_error, "\n\nPelmora ready. There have been warnings.\n\n"));
  const std::vector<std::string> lines = split_lines(folder.read("pd.dat"));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "1e-16 0");
  double sum = 0.0;
  for (const std::string& line : lines) sum += std::stod(line.substr(line.find(' ') + 1));
  EXPECT_NEAR(sum, 1.0, 1e-5);
}

// In trajectory mode there is only the one D: the run stops without result.
TEST_F(SlowMolecule, CollapsedTrajectoryRunStopsWithoutResult) {
  ScratchDir folder;
  const ProcessResult result =
      run_pelmora({"-d", "50", "-D", "0.001", "-t", "20", record(), "map.dat"}, folder.path());
  EXPECT_EQ(result.status, 1);
  const std::string tail =
      "\n\nERROR: Distance distribution lost all positive weight in the forward photon scan after "
      "photon 748 (t=14554.807617 mu s): rounding residue of the convolution outgrew it. The "
      "diffusion coefficient D = 1e-17 m^2/s is too small for this photon record and grid; use a "
      "larger one.\n\n\nPelmora terminated with fatal error.\n\n";
  ASSERT_GE(result.standard_error.size(), tail.size());
  EXPECT_EQ(result.standard_error.substr(result.standard_error.size() - tail.size()), tail);
  EXPECT_FALSE(folder.exists("map.dat"));
}

TEST_F(SlowMolecule, SwampedRunsCompleteWithWarnings) {
  ScratchDir folder;
  ProcessResult result =
      run_pelmora({"-Dmin", "0.01", "-Dmax", "0.02", "-n", "3", record(), "pd.dat"}, folder.path());
  EXPECT_EQ(result.status, 0);
  for (const char* run : {"Run   1 of   3:   D = 1.00000e-16", "Run   2 of   3:   D = 1.41421e-16",
                          "Run   3 of   3:   D = 2.00000e-16"}) {
    const std::size_t line = result.standard_error.find(run);
    ASSERT_NE(line, std::string::npos) << run;
    const std::string rest =
        result.standard_error.substr(line, result.standard_error.find('\n', line) - line);
    EXPECT_TRUE(contains(rest, "    WARNING: rounding residue dominates, D too small")) << rest;
  }
  EXPECT_EQ(split_lines(folder.read("pd.dat")).size(), 3u);
  EXPECT_TRUE(contains(result.standard_error, "\n\nPelmora ready. There have been warnings.\n\n"));

  result = run_pelmora({"-D", "0.01", "-t", "10", record(), "map.dat"}, folder.path());
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(contains(result.standard_error,
                       "  Done.\n\nWARNING: negative weights down to -3.9e-02 in the scans: "
                       "rounding residue of the convolution dominates. The diffusion coefficient "
                       "D = 1e-16 m^2/s is too small for a reliable result.\n\nWriting distance "
                       "distribution P(r,t) to file map.dat ... Done.\n"));
  EXPECT_TRUE(contains(result.standard_error, "\n\nPelmora ready. There have been warnings.\n\n"));
}

TEST_F(SlowMolecule, ColoursNoGridPointAllowsAreRefusedBeforeTheScans) {
  ScratchDir folder;
  const ProcessResult result = run_pelmora(
      {"-min", "-10", "-max", "-5", "-d", "50", "-t", "20", record(), "map.dat"}, folder.path());
  EXPECT_EQ(result.status, 1);
  const std::string tail =
      "  Will calculate distance distribution for diffusion coefficient D = 1e-14 m^2/s\n\n\n"
      "\n\nERROR: No distance of the internal grid (-15 to 0 nm) allows a donor photon: the FRET "
      "efficiency is 1 at every grid point. Choose a distance range (-min, -max) that reaches "
      "above 0 nm.\n\n\nPelmora terminated with fatal error.\n\n";
  ASSERT_GE(result.standard_error.size(), tail.size());
  EXPECT_EQ(result.standard_error.substr(result.standard_error.size() - tail.size()), tail);
  EXPECT_FALSE(folder.exists("map.dat"));
}

}  // namespace
}  // namespace pelmora::testing
