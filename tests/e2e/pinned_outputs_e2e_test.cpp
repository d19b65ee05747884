// The results of the shipped example, pinned: the demo's map and trajectory
// files, a scan's P(D) file and the full-precision log L of that scan.  Any
// change to the arithmetic, however small, changes one of them; if a change
// is meant, the new values must be checked and pinned here on purpose.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "pelmora/analysis.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

const std::string kExample = std::string(PELMORA_SOURCE_DIR) + "/examples/photons.txt";

// FNV-1a: a change of any byte changes it.
std::uint64_t fingerprint(const std::string& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
  return hash;
}

struct PinnedFile {
  const char* name;
  std::size_t size;
  std::uint64_t fingerprint;
};

void expect_pinned(const ScratchDir& folder, const PinnedFile& pinned) {
  const std::string bytes = folder.read(pinned.name);
  EXPECT_EQ(bytes.size(), pinned.size) << pinned.name;
  EXPECT_EQ(fingerprint(bytes), pinned.fingerprint) << pinned.name;
}

// log L of `pelmora -n 10` on the example, D from 1e-16 to 1e-13 m^2/s.
const double kExampleLogLikelihoods[] = {
    -0x1.6ad29fbbb1b76p+10, -0x1.55fdc97a1057cp+10, -0x1.4620485fd5904p+10, -0x1.3aa68249c4649p+10,
    -0x1.32bdf3d797e37p+10, -0x1.2e03670350973p+10, -0x1.2c7489140ee6ap+10, -0x1.2e46ad8af2aedp+10,
    -0x1.33a3c4f12e672p+10, -0x1.3bdf448c5d689p+10};

TEST(PinnedOutputs, DemoMapAndTrajectory) {
  ScratchDir folder;
  const ProcessResult run = run_pelmora({kExample, "map.dat", "trajectory.dat"}, folder.path());
  ASSERT_EQ(run.status, 0) << run.standard_error;
  expect_pinned(folder, {"map.dat", 12419200, 0x7c4a111292ce1281u});
  expect_pinned(folder, {"trajectory.dat", 30890, 0x2a1c68c4d44a698cu});
}

// The command line and the library give the same scan: the P(D) file is
// pinned, and the log L the library returns are the ones the console shows.
TEST(PinnedOutputs, ScanOfTheExample) {
  ScratchDir folder;
  const ProcessResult run = run_pelmora({"-n", "10", kExample, "pd.dat"}, folder.path());
  ASSERT_EQ(run.status, 0) << run.standard_error;
  expect_pinned(folder, {"pd.dat", 181, 0xfe311c88e3845fe2u});

  const PhotonList photons = read_photon_file(kExample, silent_observer());
  const LikelihoodScanResult scan =
      scan_likelihood(photons, derive_settings({}), log_spaced_coefficients(1e-16, 1e-13, 10));
  ASSERT_EQ(scan.runs.size(), 10u);
  for (std::size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(scan.runs[i].log_likelihood, kExampleLogLikelihoods[i]) << "run " << i + 1;
    char shown[64];
    std::snprintf(shown, sizeof shown, "log L = %10.5f", scan.runs[i].log_likelihood);
    EXPECT_NE(run.standard_error.find(shown), std::string::npos) << shown;
  }
}

}  // namespace
}  // namespace pelmora::testing
