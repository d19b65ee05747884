// Complete runs of the binary: everything it prints on the way from the
// banner to the final message, byte for byte, in both modes.  Scheduling or
// threading inside the engine must leave every one of these bytes alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/console_text.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

// Donor and acceptor photons in turn pin the distance near the Foerster
// radius, far from the edges of the internal grid, in every mode.
std::vector<PhotonRecord> alternating(int count, double spacing) {
  std::vector<PhotonRecord> photons;
  for (int k = 0; k < count; ++k) photons.push_back({k * spacing, k % 2 == 0 ? kDonor : kAcceptor});
  return photons;
}

const std::vector<PhotonRecord> kThree = {{0, kDonor}, {500, kAcceptor}, {1000, kDonor}};

struct Case {
  const char* name;
  std::vector<std::string> arguments;
  CompleteRun run;
};

Summary trajectory_summary(int time_bins, int distance_bins, double diff_coeff = 1.0) {
  Summary summary;
  summary.time_bins = time_bins;
  summary.distance_bins = distance_bins;
  summary.diff_coeff = diff_coeff;
  return summary;
}

Summary scan_summary(int runs, int distance_bins) {
  Summary summary;
  summary.scan_mode = true;
  summary.runs = runs;
  summary.distance_bins = distance_bins;
  return summary;
}

std::vector<Case> cases() {
  std::vector<Case> all;
  {
    Case c{"all defaults, default output file", {"photons.txt"}, {}};
    c.run.photons = alternating(201, 5);
    all.push_back(c);
  }
  {
    Case c{"-D with -n: trajectory mode, -n ignored without a message",
           {"-D", "2", "-n", "10", "-t", "4", "-d", "50", "photons.txt", "map.dat"},
           {}};
    c.run.photons = alternating(201, 5);
    c.run.outfile = "map.dat";
    c.run.summary = trajectory_summary(4, 50, 2.0);
    all.push_back(c);
  }
  {
    Case c{"-n 0: trajectory mode with D = 1",
           {"-n", "0", "-t", "4", "-d", "50", "photons.txt", "map.dat"},
           {}};
    c.run.photons = alternating(201, 5);
    c.run.outfile = "map.dat";
    c.run.summary = trajectory_summary(4, 50);
    all.push_back(c);
  }
  {
    // D = 1e-11 m^2/s spreads the distance over far more than the 3 nm of the
    // internal grid between photons: every interior slice reaches the edges.
    Case c{"three photons, -t 4, every slice at the edges, plain trajectory",
           {"-D", "1000", "-min", "6", "-max", "7", "-t", "4", "-d", "50", "photons.txt", "map.dat",
            "traj.dat"},
           {}};
    c.run.photons = kThree;
    c.run.outfile = "map.dat";
    c.run.traj_file = "traj.dat";
    c.run.summary = trajectory_summary(4, 50, 1000.0);
    c.run.summary.min_distance = 6;
    c.run.summary.max_distance = 7;
    c.run.affected_slices = 4;
    all.push_back(c);
  }
  {
    Case c{"EPS map and xmgr trajectory",
           {"-t", "7", "-eps", "-d", "50", "-xmgr", "photons.txt", "map.eps", "traj.agr"},
           {}};
    c.run.photons = alternating(201, 5);
    c.run.outfile = "map.eps";
    c.run.traj_file = "traj.agr";
    c.run.xmgr = true;
    c.run.format = MapFormat::kEps;
    c.run.summary = trajectory_summary(7, 50);
    all.push_back(c);
  }
  {
    Case c{"short map, radius and range given",
           {"-s", "-R", "5.25", "-min", "1.5", "-max", "9", "-t", "5", "-d", "60", "photons.txt",
            "map.txt"},
           {}};
    c.run.photons = alternating(201, 5);
    c.run.outfile = "map.txt";
    c.run.format = MapFormat::kShort;
    c.run.summary = trajectory_summary(5, 60);
    c.run.summary.radius = 5.25;
    c.run.summary.min_distance = 1.5;
    c.run.summary.max_distance = 9;
    all.push_back(c);
  }
  {
    Case c{"-n alone: scan mode over 0.01 to 10, no progress",
           {"-n", "10", "-d", "50", "photons.txt", "pd.dat"},
           {}};
    c.run.photons = alternating(201, 5);
    c.run.outfile = "pd.dat";
    c.run.summary = scan_summary(10, 50);
    all.push_back(c);
  }
  {
    Case c{
        "-Dmax alone: scan-mode defaults, no time-axis line", {"-Dmax", "10", "photons.txt"}, {}};
    c.run.photons = alternating(201, 5);
    c.run.summary = scan_summary(20, 400);
    all.push_back(c);
  }
  {
    // D = 1e-8 m^2/s and gaps of 8 s leave every distribution flat.
    Case c{"scan mode, every run at the edges",
           {"-Dmin", "1e6", "-Dmax", "1e7", "-n", "3", "-d", "50", "photons.txt", "pd.dat"},
           {}};
    c.run.photons = {{0, kDonor}, {8e6, kAcceptor}, {1.6e7, kDonor}};
    c.run.outfile = "pd.dat";
    c.run.summary = scan_summary(3, 50);
    c.run.summary.min_coeff = 1e6;
    c.run.summary.max_coeff = 1e7;
    c.run.every_run_warned = true;
    all.push_back(c);
  }
  return all;
}

TEST(RunDriverEndToEnd, CompleteRunsPrintExactly) {
  const std::string banner = banner_text();
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    ScratchDir folder;
    folder.write(c.run.infile, photon_file_text(c.run.photons));
    const ProcessResult result = run_pelmora(c.arguments, folder.path());
    EXPECT_EQ(result.status, 0);
    std::vector<double> log_likelihoods;
    const std::string shown = c.run.summary.scan_mode
                                  ? mask_log_likelihoods(result.standard_error, log_likelihoods)
                                  : result.standard_error;
    EXPECT_EQ(shown, banner + expected_console(c.run));
    EXPECT_EQ(result.standard_output, "");
    EXPECT_TRUE(folder.exists(c.run.outfile));
    if (!c.run.traj_file.empty()) {
      EXPECT_TRUE(folder.exists(c.run.traj_file));
    }
  }
}

TEST(RunDriverEndToEnd, ProgressFieldsOfTheSmallestRun) {
  // The fields spelled out once, as a check on the helpers above.
  EXPECT_EQ(photon_scans_text(3),
            "Forward scan photons ...      \b\b\b\b 50%\b\b\b\b100%  Done.\n"
            "Backward scan photons ...     \b\b\b\b 50%\b\b\b\b100%  Done.\n");
  EXPECT_EQ(grid_scans_text(4),
            "Forward scan grid ...         \b\b\b\b  0%\b\b\b\b 20%\b\b\b\b 40%\b\b\b\b 60%"
            "\b\b\b\b 80%\b\b\b\b100%  Done.\n"
            "Backward scan grid ...        \b\b\b\b  0%\b\b\b\b 20%\b\b\b\b 40%\b\b\b\b 60%"
            "\b\b\b\b 80%\b\b\b\b100%  Done.\n");
}

// A donor photon rules out every point of a range that lies below zero: the
// run stops before any scan, with no result file.
TEST(RunDriverEndToEnd, ImpossibleColoursEndTheRunWithoutResult) {
  const std::string refused =
      "\n\nERROR: No distance of the internal grid (-15 to 0 nm) allows a donor photon: the FRET "
      "efficiency is 1 at every grid point. Choose a distance range (-min, -max) that reaches "
      "above 0 nm.\n";
  Summary trajectory = trajectory_summary(4, 50);
  trajectory.min_distance = -10;
  trajectory.max_distance = -5;
  Summary scan = scan_summary(3, 50);
  scan.min_distance = -10;
  scan.max_distance = -5;
  struct VanishCase {
    const char* name;
    std::vector<std::string> arguments;
    std::string after_summary;
    Summary summary;
  };
  const VanishCase vanish_cases[] = {
      {"trajectory mode",
       {"-min", "-10", "-max", "-5", "-t", "4", "-d", "50", "photons.txt", "out.dat", "traj.dat"},
       "",
       trajectory},
      {"scan mode",
       {"-min", "-10", "-max", "-5", "-n", "3", "-d", "50", "photons.txt", "out.dat"},
       "",
       scan},
  };
  for (const VanishCase& c : vanish_cases) {
    SCOPED_TRACE(c.name);
    ScratchDir folder;
    folder.write("photons.txt", photon_file_text(kThree));
    const ProcessResult result = run_pelmora(c.arguments, folder.path());
    EXPECT_EQ(result.status, 1);
    const std::string traj_line =
        c.summary.scan_mode ? "" : trajectory_file_line("traj.dat", false);
    EXPECT_EQ(result.standard_error,
              banner_text() + reader_text("photons.txt", kThree) + output_file_line("out.dat") +
                  traj_line + summary_text(c.summary) + c.after_summary + refused + kFatal);
    EXPECT_FALSE(folder.exists("out.dat"));
    EXPECT_FALSE(folder.exists("traj.dat"));
  }
}

}  // namespace
}  // namespace pelmora::testing
