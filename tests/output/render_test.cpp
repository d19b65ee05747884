// Renders the image and the plot file with the programs they are written for.
// Skipped where Ghostscript or Grace is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

#include "output/writer_fixture.h"
#include "support/run_binary.h"

namespace pelmora {
namespace {

using testing::build;
using testing::HandBuiltRun;
using testing::ScratchDir;

std::optional<std::string> find_program(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const std::string candidate = folder + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

// A band that drifts across the range, with photons of both colours.
HandBuiltRun drifting_band() {
  HandBuiltRun run;
  run.time_bins = 120;
  run.distance_bins = 60;
  run.photon_times.clear();
  run.photon_types.clear();
  for (int k = 0; k <= 40; ++k) {
    run.photon_times.push_back(25.0 * k);
    run.photon_types.push_back(k % 3 == 0 ? 2 : 1);
  }
  run.forward = [](int i, int j) {
    const double centre = 60 + 60.0 * i / 121;
    return std::exp(-(j - centre) * (j - centre) / 40.0);
  };
  return run;
}

void expect_png(const testing::ProcessResult& result, const ScratchDir& folder) {
  EXPECT_EQ(result.status, 0) << result.standard_error << result.standard_output;
  ASSERT_TRUE(folder.exists("out.png"));
  const std::string png = folder.read("out.png");
  EXPECT_GT(png.size(), 100u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
}

TEST(Rendering, GhostscriptDrawsTheImage) {
  const std::optional<std::string> gs = find_program("gs");
  if (!gs) GTEST_SKIP() << "Ghostscript (gs) is not installed; the EPS rendering check is skipped";
  ScratchDir folder;
  HandBuiltRun run = drifting_band();
  run.eps_output = true;
  testing::write_map(build(run), (folder / "map.eps").string());
  expect_png(testing::run_program(*gs,
                                  {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pnggray",
                                   "-dEPSCrop", "-o", "out.png", "map.eps"},
                                  folder.path()),
             folder);
}

TEST(Rendering, GraceDrawsThePlot) {
  const std::optional<std::string> gracebat = find_program("gracebat");
  if (!gracebat)
    GTEST_SKIP() << "Grace (gracebat) is not installed; the xmgr rendering check is skipped";
  ScratchDir folder;
  HandBuiltRun run = drifting_band();
  run.xmgr_output = true;
  testing::write_trajectory(build(run), (folder / "trajectory.agr").string());
  expect_png(
      testing::run_program(
          *gracebat, {"-hardcopy", "-hdevice", "PNG", "-printfile", "out.png", "trajectory.agr"},
          folder.path()),
      folder);
}

}  // namespace
}  // namespace pelmora
