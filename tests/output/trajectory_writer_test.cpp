#include "output/trajectory_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "output/writer_fixture.h"
#include "support/caught_error.h"
#include "support/run_binary.h"

namespace pelmora {
namespace {

using testing::build;
using testing::caught_error;
using testing::HandBuiltRun;
using testing::ScratchDir;
using testing::split_lines;
using testing::write_error;
using testing::write_trajectory;

struct Written {
  std::vector<std::string> lines;
};

Written write(const HandBuiltRun& run) {
  ScratchDir folder;
  const std::string path = (folder / "trajectory.dat").string();
  folder.write("trajectory.dat", std::string(100000, 'x'));  // replaced, not appended to
  write_trajectory(build(run), path);
  return {split_lines(folder.read("trajectory.dat"))};
}

// Absolute times; mean and deviation over the whole internal grid, also
// where the weight lies outside [min, max]; 0 and 0 for a slice whose
// distributions do not overlap.
TEST(TrajectoryWriter, PlainColumns) {
  HandBuiltRun run;  // 50 bins: r_j = -13 + 39 j / 149
  run.photon_times = {5000, 5400, 6000};
  run.forward = [](int i, int j) {
    switch (i) {
      case 1:
        return j == 75 ? 4.0 : 0.0;  // one point
      case 2:
        return j == 60 || j == 90 ? 0.5 : 0.0;  // two points, equal weight
      case 3:
        return j < 75 ? 1.0 : 0.0;  // disjoint from backward
      default:
        return j == 10 || j == 75 ? 1.0 : 0.0;  // half outside the range
    }
  };
  run.backward = [](int i, int j) { return i == 3 ? (j < 75 ? 0.0 : 1.0) : 1.0; };
  const std::vector<std::string> expected = {
      "5166.666667 6.630872 0.000000",
      "5333.333333 6.630872 3.926174",
      "5500.000000 0.000000 0.000000",
      "5666.666667 -1.875839 8.506711",
  };
  EXPECT_EQ(write(run).lines, expected);
}

std::vector<std::string> section(const std::vector<std::string>& lines, std::size_t first,
                                 std::size_t count) {
  return {lines.begin() + static_cast<std::ptrdiff_t>(first),
          lines.begin() + static_cast<std::ptrdiff_t>(first + count)};
}

// Header, seven sets with "&" after s0..s5, bands in ms from the first
// photon, and markers for every photon but the last.
TEST(TrajectoryWriter, XmgrPlotFile) {
  struct Case {
    const char* name;
    std::vector<int> types;
    std::vector<std::string> donors, acceptors;
  };
  const std::vector<double> times = {0, 100, 200, 300, 400, 500, 1000};
  const Case cases[] = {
      {"last photon a donor",
       {1, 2, 2, 1, 2, 1, 1},
       {"0.000000 12.350000", "0.300000 12.350000", "0.500000 12.350000"},
       {"0.100000 0.650000", "0.200000 0.650000", "0.400000 0.650000"}},
      {"last photon an acceptor",
       {2, 1, 1, 1, 2, 2, 2},
       {"0.100000 12.350000", "0.200000 12.350000", "0.300000 12.350000"},
       {"0.000000 0.650000", "0.400000 0.650000", "0.500000 0.650000"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HandBuiltRun run;
    run.xmgr_output = true;
    run.time_bins = 1000;
    run.distance_bins = 400;
    run.photon_times = times;
    run.photon_types = c.types;
    run.forward = [](int, int j) { return j >= 590 && j <= 610 ? 1.0 : 0.0; };
    const std::vector<std::string> lines = write(run).lines;

    const std::size_t n = 1000;
    ASSERT_EQ(lines.size(), 65 + 5 * n + (times.size() - 1));
    EXPECT_EQ(lines[0], "@subtitle \"FRET Maximum Likelihood Trajectory Distribution\"");
    EXPECT_EQ(section(lines, 1, 6),
              (std::vector<std::string>{"@with g0", "@world xmin 0.000000", "@world xmax 1.000000",
                                        "@world ymin 0.000000", "@world ymax 13.000000",
                                        "@xaxis tick major 2"}));
    EXPECT_EQ(lines[51], "@legend string 6 \"acceptor photons\"");

    std::size_t at = 52;
    std::vector<std::string> first_set;
    for (int set = 0; set <= 4; ++set) {
      ASSERT_EQ(lines[at], "@TYPE xy");
      const std::vector<std::string> points = section(lines, at + 1, n);
      if (set == 0) {
        first_set = points;
        EXPECT_TRUE(points.front().starts_with("0.000998 "));
        EXPECT_TRUE(points.back().starts_with("0.998004 "));
      }
      for (std::size_t k = 0; k < n; ++k)  // same x in every band
        ASSERT_EQ(points[k].substr(0, 9), first_set[k].substr(0, 9));
      EXPECT_EQ(lines[at + 1 + n], "&");
      at += n + 2;
    }
    EXPECT_EQ(section(lines, at, 5),
              (std::vector<std::string>{"@TYPE xy", c.donors[0], c.donors[1], c.donors[2], "&"}));
    EXPECT_EQ(
        section(lines, at + 5, 4),
        (std::vector<std::string>{"@TYPE xy", c.acceptors[0], c.acceptors[1], c.acceptors[2]}));
  }
}

// A distribution on a single grid point: deviation 0, all five sets coincide.
TEST(TrajectoryWriter, SinglePointDistributionGivesCoincidentBands) {
  HandBuiltRun run;
  run.xmgr_output = true;
  run.forward = [](int i, int j) { return j == 70 + i ? 1.0 : 0.0; };
  const std::vector<std::string> lines = write(run).lines;
  ASSERT_EQ(lines.size(), 65u + 5 * 4 + 2);
  const std::vector<std::string> mean = section(lines, 53, 4);
  EXPECT_EQ(mean[0], "0.166667 5.583893");  // r_71 = -13 + 39 * 71 / 149
  for (std::size_t set = 1; set <= 4; ++set) EXPECT_EQ(section(lines, 53 + 6 * set, 4), mean);
}

TEST(TrajectoryWriter, FileThatCannotBeWritten) {
  ScratchDir folder;
  for (bool xmgr : {false, true}) {
    HandBuiltRun run;
    run.xmgr_output = xmgr;
    std::vector<std::string> paths = {(folder / "missing" / "trajectory.dat").string()};
    if (access("/dev/full", W_OK) == 0) paths.push_back("/dev/full");
    for (const std::string& path : paths) {
      const std::optional<Error> error = caught_error([&] { write_trajectory(build(run), path); });
      ASSERT_TRUE(error) << path;
      EXPECT_EQ(error->message(), write_error(path));
    }
  }
}

}  // namespace
}  // namespace pelmora
