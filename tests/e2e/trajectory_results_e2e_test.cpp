// Result files of complete trajectory-mode runs: the shape of the
// distance-distribution map in its three formats and of the average
// trajectory in its two, and what happens when a result cannot be written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/console_text.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

// Runs pelmora on `photons` in `folder` and expects a complete run.
void run_complete(const ScratchDir& folder, const std::vector<PhotonRecord>& photons,
                  const std::vector<std::string>& arguments) {
  folder.write("photons.txt", photon_file_text(photons));
  const ProcessResult result = run_pelmora(arguments, folder.path());
  ASSERT_EQ(result.status, 0) << result.standard_error;
}

double number(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t blank = line.find(' ', start);
    parts.push_back(line.substr(start, blank - start));
    if (blank == std::string::npos) return parts;
    start = blank + 1;
  }
}

// "%f" of a value in [0, 1]: what the map writes for a probability.
bool is_probability_field(const std::string& text) {
  const double value = number(text);
  return value >= 0.0 && value <= 1.0 && printed("%f", value) == text;
}

// Time labels with the divisor T = n + 2, distances of the middle third of the
// internal grid, n * N_b lines, and each slice's written values summing to
// about 1 for a distribution that lies inside the range.
TEST(TrajectoryResultsEndToEnd, PlainMapLabelsAndLayout) {
  ScratchDir folder;
  run_complete(folder, alternating_record(), {"-t", "1000", "-d", "50", "photons.txt", "map.dat"});
  const std::vector<std::string> lines = split_lines(folder.read("map.dat"));
  ASSERT_EQ(lines.size(), 1000u * 50u);
  EXPECT_EQ(fields(lines.front())[0], "0.998004");
  EXPECT_EQ(fields(lines.back())[0], "998.003992");
  double slice_sum = 0;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const int i = static_cast<int>(k / 50) + 1;
    const int j = static_cast<int>(k % 50) + 50;
    const std::vector<std::string> parts = fields(lines[k]);
    ASSERT_EQ(parts.size(), 3u) << lines[k];
    ASSERT_EQ(parts[0], printed("%f", 0.0 + (1000.0 - 0.0) * i / 1002)) << k;
    ASSERT_EQ(parts[1], printed("%f", -13.0 + (26.0 - -13.0) * j / 149)) << k;
    ASSERT_TRUE(is_probability_field(parts[2])) << lines[k];
    slice_sum += number(parts[2]);
    if (j == 99) {
      ASSERT_GT(slice_sum, 0.99) << "slice " << i;
      ASSERT_LT(slice_sum, 1.0 + 50 * 5e-7) << "slice " << i;
      slice_sum = 0;
    }
  }
}

// The short format and the EPS image of one run describe the same grey
// levels, the EPS as 255 - g; the plain map of the run gives the levels
// back from its probabilities to within the rounding of its six decimals.
TEST(TrajectoryResultsEndToEnd, ImageFormatsAgreeCellByCell) {
  struct Case {
    int time_bins, distance_bins;
    std::vector<std::string> header;  // the 13 header lines
    std::size_t full_lines, last_line_bytes;
  };
  auto header = [](const char* bounding_box, const char* scale, const char* image,
                   const char* read) {
    return std::vector<std::string>{"%!PS-Adobe-3.0 EPSF-3.0",
                                    "%%Creator: Pelmora",
                                    bounding_box,
                                    "%%LanguageLevel: 2",
                                    "%%Pages: 1",
                                    "%%DocumentData: Clean7Bit",
                                    "gsave",
                                    "576 0 translate",
                                    "90 rotate",
                                    scale,
                                    image,
                                    read,
                                    "image"};
  };
  const Case cases[] = {
      {4, 50,
       header("%%BoundingBox: 0 0 576 7200", "7200 576 scale", "50 4 8 [50 0 0 -4 0 4]",
              "{currentfile 50 string readhexstring pop} bind"),
       5, 15},
      {1000, 400,
       header("%%BoundingBox: 0 0 576 230", "230 576 scale", "400 1000 8 [400 0 0 -1000 0 1000]",
              "{currentfile 400 string readhexstring pop} bind"),
       10810, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time_bins);
    const std::string t = std::to_string(c.time_bins);
    const std::string d = std::to_string(c.distance_bins);
    ScratchDir folder;
    run_complete(folder, alternating_record(),
                 {"-t", t, "-d", d, "-s", "photons.txt", "short.txt"});
    run_complete(folder, alternating_record(),
                 {"-t", t, "-d", d, "-eps", "photons.txt", "map.eps"});
    run_complete(folder, alternating_record(), {"-t", t, "-d", d, "photons.txt", "map.dat"});
    const std::size_t cells = static_cast<std::size_t>(c.time_bins) * c.distance_bins;

    std::vector<int> grey;
    for (const std::string& line : split_lines(folder.read("short.txt"))) {
      ASSERT_EQ(line, std::to_string(std::atoi(line.c_str())));
      grey.push_back(std::atoi(line.c_str()));
      ASSERT_TRUE(grey.back() >= 0 && grey.back() <= 255) << line;
    }
    ASSERT_EQ(grey.size(), cells);
    EXPECT_EQ(*std::max_element(grey.begin(), grey.end()), 255);

    std::vector<double> probability;
    for (const std::string& line : split_lines(folder.read("map.dat"))) {
      probability.push_back(number(fields(line)[2]));
    }
    ASSERT_EQ(probability.size(), cells);
    const double peak = *std::max_element(probability.begin(), probability.end());
    for (std::size_t k = 0; k < cells; ++k) {
      // Both probabilities are off by up to 5e-7 in the file.
      const double level = 255.98 * probability[k] / peak + 0.01;
      const double tolerance = 255.98 * 5e-7 * (1 + probability[k] / peak) / (peak - 5e-7);
      ASSERT_LE(grey[k], level + tolerance) << "cell " << k;
      ASSERT_GT(grey[k], level - 1 - tolerance) << "cell " << k;
    }

    const std::string eps = folder.read("map.eps");
    const std::vector<std::string> lines = split_lines(eps);
    ASSERT_EQ(lines.size(), 13 + c.full_lines + 2);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 13), c.header);
    EXPECT_EQ(lines.back(), "grestore");
    EXPECT_EQ(eps.substr(eps.size() - 10), "\ngrestore\n");
    std::string digits;
    for (std::size_t l = 13; l < 13 + c.full_lines + 1; ++l) {
      const std::size_t expected = l < 13 + c.full_lines ? 74 : 2 * c.last_line_bytes;
      ASSERT_EQ(lines[l].size(), expected) << "line " << l + 1;
      digits += lines[l];
    }
    for (std::size_t k = 0; k < cells; ++k) {
      ASSERT_EQ(digits.substr(2 * k, 2), printed("%02x", 255 - grey[k])) << "cell " << k;
    }
  }
}

// Photons from 5000 to 6000 us, the last one a donor photon.
const std::vector<PhotonRecord> kMarked = {{5000, kDonor},    {5100.5, kAcceptor},
                                           {5300, kAcceptor}, {5550.25, kDonor},
                                           {5800, kAcceptor}, {6000, kDonor}};

// The plain columns carry absolute times; the xmgr file draws the same
// means, with x in ms from the first photon, its bands, and a marker for
// every photon but the last.
TEST(TrajectoryResultsEndToEnd, TrajectoryFilesPlainAndXmgr) {
  const int n = 20;
  const int slices = n + 2;
  ScratchDir folder;
  const std::vector<std::string> options = {"-min", "2", "-max", "10", "-t", "20", "-d", "50"};
  std::vector<std::string> plain_run = options;
  plain_run.insert(plain_run.end(), {"photons.txt", "map.dat", "traj.dat"});
  run_complete(folder, kMarked, plain_run);
  std::vector<std::string> xmgr_run = options;
  xmgr_run.insert(xmgr_run.end(), {"-xmgr", "photons.txt", "map.dat", "traj.agr"});
  run_complete(folder, kMarked, xmgr_run);

  const std::vector<std::string> plain = split_lines(folder.read("traj.dat"));
  ASSERT_EQ(plain.size(), static_cast<std::size_t>(n));
  std::vector<std::string> means;
  std::vector<double> deviations;
  for (int i = 1; i <= n; ++i) {
    const std::vector<std::string> parts = fields(plain[static_cast<std::size_t>(i - 1)]);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0], printed("%f", 5000.0 + (6000.0 - 5000.0) * i / slices));
    ASSERT_EQ(parts[1], printed("%f", number(parts[1])));
    ASSERT_EQ(parts[2], printed("%f", number(parts[2])));
    EXPECT_GE(number(parts[2]), 0.0);
    means.push_back(parts[1]);
    deviations.push_back(number(parts[2]));
  }

  const std::vector<std::string> lines = split_lines(folder.read("traj.agr"));
  const std::size_t photon_count = kMarked.size();
  ASSERT_EQ(lines.size(), 65 + 5 * n + (photon_count - 1));
  EXPECT_EQ(lines[0], "@subtitle \"FRET Maximum Likelihood Trajectory Distribution\"");
  EXPECT_EQ(lines[2], "@world xmin 0.000000");
  EXPECT_EQ(lines[3], "@world xmax 1.000000");
  EXPECT_EQ(lines[4], "@world ymin 2.000000");
  EXPECT_EQ(lines[5], "@world ymax 10.000000");
  EXPECT_EQ(lines[51], "@legend string 6 \"acceptor photons\"");

  std::size_t at = 52;
  for (int set = 0; set < 5; ++set) {
    SCOPED_TRACE(set);
    ASSERT_EQ(lines[at++], "@TYPE xy");
    for (int i = 1; i <= n; ++i) {
      const std::vector<std::string> parts = fields(lines[at++]);
      ASSERT_EQ(parts.size(), 2u);
      EXPECT_EQ(parts[0], printed("%f", (5000.0 + (6000.0 - 5000.0) * i / slices - 5000.0) / 1000));
      const double mean = number(means[static_cast<std::size_t>(i - 1)]);
      const double deviation = deviations[static_cast<std::size_t>(i - 1)];
      const double offset[] = {0, -deviation, deviation, -2 * deviation, 2 * deviation};
      if (set == 0) {
        EXPECT_EQ(parts[1], means[static_cast<std::size_t>(i - 1)]);
      } else {
        EXPECT_NEAR(number(parts[1]), mean + offset[set], 3e-6);
      }
    }
    ASSERT_EQ(lines[at++], "&");
  }
  const double donor_y = 10.0 - 0.05 * (10.0 - 2.0);
  const double acceptor_y = 2.0 + 0.05 * (10.0 - 2.0);
  EXPECT_EQ(printed("%f %f", donor_y, acceptor_y), "9.600000 2.400000");
  const std::vector<std::string> markers(lines.begin() + static_cast<long>(at), lines.end());
  EXPECT_EQ(markers, (std::vector<std::string>{"@TYPE xy", "0.000000 9.600000", "0.550250 9.600000",
                                               "&", "@TYPE xy", "0.100500 2.400000",
                                               "0.300000 2.400000", "0.800000 2.400000"}));
}

// Files of an earlier run, longer than the new results, leave no trace.
TEST(TrajectoryResultsEndToEnd, ExistingFilesAreReplaced) {
  const std::vector<std::string> arguments = {"-t",          "10",      "-d",      "50",
                                              "photons.txt", "map.dat", "traj.dat"};
  ScratchDir fresh;
  run_complete(fresh, alternating_record(), arguments);
  ScratchDir used;
  const std::string old_text(3 << 20, '7');
  used.write("map.dat", old_text);
  used.write("traj.dat", old_text);
  run_complete(used, alternating_record(), arguments);
  EXPECT_EQ(used.read("map.dat"), fresh.read("map.dat"));
  EXPECT_EQ(used.read("traj.dat"), fresh.read("traj.dat"));
}

// A result that cannot be written ends the run after all computation; a
// trajectory file that fails leaves the complete map behind.
TEST(TrajectoryResultsEndToEnd, UnwritableResultFiles) {
  const std::vector<PhotonRecord> photons = alternating_record();
  ScratchDir reference;
  run_complete(reference, photons, {"-t", "10", "-d", "50", "photons.txt", "map.dat", "traj.dat"});
  const std::string complete_map = reference.read("map.dat");

  struct Case {
    std::string outfile, traj_file;
    bool map_fails;
  };
  const Case cases[] = {
      {"missing/map.dat", "traj.dat", true},
      {"/dev/full", "traj.dat", true},
      {"map.dat", "missing/traj.dat", false},
      {"map.dat", "/dev/full", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.outfile + " " + c.traj_file);
    ScratchDir folder;
    folder.write("photons.txt", photon_file_text(photons));
    const ProcessResult result =
        run_pelmora({"-t", "10", "-d", "50", "photons.txt", c.outfile, c.traj_file}, folder.path());
    EXPECT_EQ(result.status, 1);

    CompleteRun run;
    run.photons = photons;
    run.outfile = c.outfile;
    run.traj_file = c.traj_file;
    run.summary.time_bins = 10;
    run.summary.distance_bins = 50;
    const std::string complete = expected_console(run);
    const std::string failing = c.map_fails ? map_writer_text(c.outfile, MapFormat::kPlain)
                                            : trajectory_writer_text(c.traj_file, false);
    const std::size_t cut = complete.find(failing);
    ASSERT_NE(cut, std::string::npos);
    const std::string failing_path = c.map_fails ? c.outfile : c.traj_file;
    EXPECT_EQ(result.standard_error, banner_text() + complete.substr(0, cut + failing.size()) +
                                         write_error_text(failing_path) + kFatal);

    EXPECT_FALSE(folder.exists("traj.dat"));
    if (c.map_fails) {
      EXPECT_FALSE(folder.exists("map.dat"));
    } else {
      EXPECT_EQ(folder.read("map.dat"), complete_map);
    }
  }
}

}  // namespace
}  // namespace pelmora::testing
