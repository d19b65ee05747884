#include "output/distribution_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "output/writer_fixture.h"
#include "state/written_slices.h"
#include "support/caught_error.h"
#include "support/run_binary.h"

namespace pelmora {
namespace {

using testing::build;
using testing::caught_error;
using testing::exit_on_error;
using testing::HandBuilt;
using testing::HandBuiltRun;
using testing::ScratchDir;
using testing::split_lines;
using testing::write_error;
using testing::write_map;

struct Written {
  std::string file;
  int slices_without_overlap;
};

Written write(const HandBuiltRun& run) {
  ScratchDir folder;
  const HandBuilt built = build(run);
  write_map(built, (folder / "map.dat").string());
  return {folder.read("map.dat"), WrittenSlices(built.result).slices_without_overlap()};
}

// What the file holds for slice i, point j of a run with 50 distance bins:
// the line of a text format, or the two hex digits of the image.
std::string cell(const Written& written, const HandBuiltRun& run, int i, int j) {
  const std::vector<std::string> lines = split_lines(written.file);
  const std::size_t index = static_cast<std::size_t>((i - 1) * 50 + (j - 50));
  if (!run.eps_output) return lines.at(index);
  return lines.at(13 + index / 37).substr(2 * (index % 37), 2);
}

HandBuiltRun eps_run(int time_bins, int distance_bins) {
  HandBuiltRun run;
  run.eps_output = true;
  run.time_bins = time_bins;
  run.distance_bins = distance_bins;
  run.forward = [](int i, int j) { return 1.0 + (i + j) % 7; };
  return run;
}

// The header, 37 bytes a data line running across slices, and the trailer.
TEST(DistributionWriter, EpsLayout) {
  struct Case {
    int time_bins, distance_bins;
    std::vector<std::string> header_lines_3_10_11_12;
    int full_lines, last_line_bytes;
  };
  const Case cases[] = {
      {1000,
       400,
       {"%%BoundingBox: 0 0 576 230", "230 576 scale", "400 1000 8 [400 0 0 -1000 0 1000]",
        "{currentfile 400 string readhexstring pop} bind"},
       10810,
       30},
      {4,
       50,
       {"%%BoundingBox: 0 0 576 7200", "7200 576 scale", "50 4 8 [50 0 0 -4 0 4]",
        "{currentfile 50 string readhexstring pop} bind"},
       5,
       15},
      // 1850 bytes, a multiple of 37: an empty line stands before "grestore".
      {37,
       50,
       {"%%BoundingBox: 0 0 576 778", "778 576 scale", "50 37 8 [50 0 0 -37 0 37]",
        "{currentfile 50 string readhexstring pop} bind"},
       50,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time_bins);
    const Written written = write(eps_run(c.time_bins, c.distance_bins));
    const std::vector<std::string> lines = split_lines(written.file);
    ASSERT_GT(lines.size(), 13u);
    const std::vector<std::string> header(lines.begin(), lines.begin() + 13);
    const std::vector<std::string> expected_header = {"%!PS-Adobe-3.0 EPSF-3.0",
                                                      "%%Creator: Pelmora",
                                                      c.header_lines_3_10_11_12[0],
                                                      "%%LanguageLevel: 2",
                                                      "%%Pages: 1",
                                                      "%%DocumentData: Clean7Bit",
                                                      "gsave",
                                                      "576 0 translate",
                                                      "90 rotate",
                                                      c.header_lines_3_10_11_12[1],
                                                      c.header_lines_3_10_11_12[2],
                                                      c.header_lines_3_10_11_12[3],
                                                      "image"};
    EXPECT_EQ(header, expected_header);

    const std::size_t data_lines = static_cast<std::size_t>(c.full_lines) + 1;
    ASSERT_EQ(lines.size(), 13 + data_lines + 1);
    for (std::size_t k = 13; k < 13 + data_lines; ++k) {
      const std::size_t digits = k + 1 < 13 + data_lines ? 74 : 2 * c.last_line_bytes;
      ASSERT_EQ(lines[k].size(), digits) << "line " << k + 1;
      ASSERT_EQ(lines[k].find_first_not_of("0123456789abcdef"), std::string::npos);
    }
    EXPECT_EQ(lines.back(), "grestore");
    EXPECT_TRUE(written.file.ends_with("\ngrestore\n"));
  }
}

// Time labels use the divisor T and are absolute; the written points are the
// middle third; probabilities are normalized over all internal points and
// keep their sign, so FFT residue prints as -0.000000.
TEST(DistributionWriter, PlainMapLabelsAndValues) {
  HandBuiltRun big;
  big.time_bins = 1000;
  big.distance_bins = 400;
  const std::vector<std::string> lines = split_lines(write(big).file);
  ASSERT_EQ(lines.size(), 400000u);
  EXPECT_EQ(lines.front(), "0.998004 0.010842 0.000833");
  EXPECT_EQ(lines[399], "0.998004 12.989158 0.000833");
  EXPECT_EQ(lines.back(), "998.003992 12.989158 0.000833");

  HandBuiltRun small;
  small.photon_times = {5000, 5400, 6000};
  small.forward = [](int i, int j) {
    if (j == 75) return 3.0 * i;
    if (j == 10) return 1.0 * i;  // outside [min, max]: only lowers the written sum
    if (j == 60) return -1e-20;
    return 0.0;
  };
  const std::vector<std::string> cells = split_lines(write(small).file);
  ASSERT_EQ(cells.size(), 200u);
  EXPECT_EQ(cells[0], "5166.666667 0.087248 0.000000");
  EXPECT_EQ(cells[10], "5166.666667 2.704698 -0.000000");
  EXPECT_EQ(cells[25], "5166.666667 6.630872 0.750000");
  EXPECT_EQ(cells[49], "5166.666667 12.912752 0.000000");
  EXPECT_EQ(cells[150 + 25], "5666.666667 6.630872 0.750000");
}

// 255.98 keeps the peak at 255; level k starts at (k - 0.01) / 255.98 of the
// peak; P_max is taken over all written slices.
TEST(DistributionWriter, GreyLevelsAtTheirThresholds) {
  // Ratios to the peak in slices 1, 2 and 4 at points 50.., with their levels.
  const std::vector<std::pair<double, int>> ratios = {{1.0, 255}, {0.9962, 255}, {0.9960, 254},
                                                      {0.25, 64}, {0.0039, 1},   {0.0038, 0},
                                                      {0.0, 0},   {-1e-18, 0}};
  double slice_sum = 0;
  for (const auto& [ratio, level] : ratios) slice_sum += ratio;
  HandBuiltRun run;
  run.backward = [&](int i, int j) {
    if (i == 3) {  // a quarter of the peak at point 50, the rest outside the range
      if (j == 50) return 1.0;
      return j == 5 ? 4 * slice_sum - 1 : 0.0;
    }
    const int k = j - 50;
    return k >= 0 && k < static_cast<int>(ratios.size()) ? ratios[static_cast<std::size_t>(k)].first
                                                         : 0.0;
  };
  std::vector<int> levels;
  for (int i = 1; i <= 4; ++i)
    for (int j = 50; j < 100; ++j) {
      const int k = j - 50;
      if (i == 3) {
        levels.push_back(k == 0 ? 64 : 0);
      } else {
        levels.push_back(
            k < static_cast<int>(ratios.size()) ? ratios[static_cast<std::size_t>(k)].second : 0);
      }
    }

  run.short_format = true;
  const std::vector<std::string> grey = split_lines(write(run).file);
  ASSERT_EQ(grey.size(), levels.size());
  for (std::size_t n = 0; n < levels.size(); ++n)
    EXPECT_EQ(grey[n], std::to_string(levels[n])) << n;

  run.short_format = false;
  run.eps_output = true;
  std::string bytes;
  for (const std::string& line : split_lines(write(run).file))
    if (line.size() % 2 == 0 && line.find_first_not_of("0123456789abcdef") == std::string::npos)
      bytes += line;
  ASSERT_EQ(bytes.size(), 2 * levels.size());
  EXPECT_EQ(bytes.substr(0, 16), "000001bffeffffff");
  for (std::size_t n = 0; n < levels.size(); ++n) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", 255 - levels[n]);
    ASSERT_EQ(bytes.substr(2 * n, 2), hex) << n;
  }
}

// 255.98 multiplies F before B: with these values forming F * B first would
// round the level up to 196.
TEST(DistributionWriter, GreyLevelKeepsItsOrderOfOperations) {
  HandBuiltRun run;
  run.short_format = true;
  run.forward = [](int, int j) { return j == 50 ? 1.0 : j == 51 ? 1.4822965028565447 : 0.0; };
  run.backward = [](int, int j) { return j == 50 ? 1.0 : j == 51 ? 0.5165267219473407 : 0.0; };
  const std::vector<std::string> grey = split_lines(write(run).file);
  ASSERT_EQ(grey.size(), 200u);
  EXPECT_EQ(grey[0], "255");
  EXPECT_EQ(grey[1], "195");
}

// Slices whose forward and backward distributions do not overlap are written
// as zero probability and reported once; nothing prints nan or inf.
TEST(DistributionWriter, SlicesWithoutOverlap) {
  struct Case {
    const char* name;
    bool short_format, eps_output;
    bool every_slice;
    const char* cell_of_empty_slice;  // what a cell of slices 2 and 3 reads as
    int reported;
  };
  const Case cases[] = {
      {"plain", false, false, false, "0.000000", 2},
      {"short", true, false, false, "0", 2},
      {"eps", false, true, false, "ff", 2},
      {"short, no slice overlaps", true, false, true, "0", 4},
      {"plain, no slice overlaps", false, false, true, "0.000000", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HandBuiltRun run;
    run.short_format = c.short_format;
    run.eps_output = c.eps_output;
    const bool every = c.every_slice;
    // Slice 2: disjoint supports; slice 3: only a negative residue overlaps.
    run.forward = [every](int i, int j) {
      if (i == 2 || every) return j < 75 ? 1.0 : 0.0;
      if (i == 3) return j == 80 ? -1e-30 : 0.0;
      return 1.0;
    };
    run.backward = [every](int i, int j) { return i == 2 || every ? (j < 75 ? 0.0 : 1.0) : 1.0; };
    const Written written = write(run);
    EXPECT_EQ(written.file.find("nan"), std::string::npos);
    EXPECT_EQ(written.file.find("inf"), std::string::npos);
    // Slice 2 has no product at all (0 / 0); slice 3 only a negative residue,
    // which divided by itself would give probability 1 at point 80.
    for (int slice : {2, 3}) {
      const std::string text = cell(written, run, slice, 80);
      EXPECT_TRUE(text == c.cell_of_empty_slice ||
                  text.ends_with(std::string(" ") + c.cell_of_empty_slice))
          << slice << ": " << text;
    }
    EXPECT_EQ(written.slices_without_overlap, c.reported);
  }
}

// A file replaces an earlier, longer file of the same name.
TEST(DistributionWriter, ReplacesEarlierFile) {
  for (int format = 0; format < 3; ++format) {
    HandBuiltRun run;
    run.short_format = format == 1;
    run.eps_output = format == 2;
    const std::string fresh = write(run).file;

    ScratchDir folder;
    const std::string path = (folder / "map.dat").string();
    folder.write("map.dat", std::string(1 << 20, 'x'));
    write_map(build(run), path);
    EXPECT_TRUE(folder.read("map.dat") == fresh);
  }
}

TEST(DistributionWriter, FileThatCannotBeOpened) {
  ScratchDir folder;
  HandBuiltRun run;
  run.eps_output = true;
  const std::string path = (folder / "missing" / "map.eps").string();
  const std::optional<Error> error = caught_error([&] { write_map(build(run), path); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), ErrorKind::kIo);
  EXPECT_EQ(error->message(), write_error(path));
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

// Disk full: the error, and the device itself left alone.
TEST(DistributionWriter, WriteFailureOnDevice) {
  struct stat device {};
  if (stat("/dev/full", &device) != 0 || !S_ISCHR(device.st_mode))
    GTEST_SKIP() << "/dev/full is not available here";
  for (int format = 0; format < 3; ++format) {
    HandBuiltRun run;
    run.short_format = format == 1;
    run.eps_output = format == 2;
    const std::optional<Error> error = caught_error([&] { write_map(build(run), "/dev/full"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message(), write_error("/dev/full"));
  }
  struct stat after {};
  ASSERT_EQ(stat("/dev/full", &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(after.st_rdev, device.st_rdev);
}

// A regular file that fills up part way is removed, not left truncated.
TEST(DistributionWriterDeathTest, PartlyWrittenFileIsRemoved) {
  ScratchDir folder;
  HandBuiltRun run;
  run.time_bins = 1000;
  run.distance_bins = 400;  // about 11 MB of plain map
  const HandBuilt built = build(run);
  const std::string path = (folder / "map.dat").string();
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = 3 << 20;
  EXPECT_EXIT(
      {
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        exit_on_error([&] { write_map(built, path); });
      },
      ::testing::ExitedWithCode(1), "^" + write_error(path) + "$");
  EXPECT_FALSE(folder.exists("map.dat"));
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));  // no temporary file either
}

}  // namespace
}  // namespace pelmora
