// Complete scan-mode runs: the coefficients and run lines, the P(D) file,
// the options that scan mode ignores, which photons enter log L, and a
// synthetic record whose likelihood must peak near the coefficient it was
// generated with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/console_text.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

double number(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

struct ScanOutcome {
  ProcessResult result;
  std::string masked_error;  // standard error with the log L values masked
  std::vector<double> log_likelihood;
  std::vector<std::string> coefficient, probability;  // the two columns of the file
};

ScanOutcome run_scan(const ScratchDir& folder, const std::vector<std::string>& arguments,
                     const std::string& outfile) {
  ScanOutcome outcome;
  outcome.result = run_pelmora(arguments, folder.path());
  outcome.masked_error =
      mask_log_likelihoods(outcome.result.standard_error, outcome.log_likelihood);
  if (outcome.result.status != 0 || !folder.exists(outfile)) return outcome;
  for (const std::string& line : split_lines(folder.read(outfile))) {
    const std::size_t blank = line.find(' ');
    outcome.coefficient.push_back(line.substr(0, blank));
    outcome.probability.push_back(blank == std::string::npos ? "" : line.substr(blank + 1));
  }
  return outcome;
}

// One "%g %g" line per run; P(D) = exp(log L - max) / sum, as far as the
// printed log L values tell, with runs 100 or more below the maximum at 0;
// the column sums to 1.
void expect_normalized_likelihood(const ScanOutcome& scan) {
  const std::size_t runs = scan.log_likelihood.size();
  ASSERT_EQ(scan.coefficient.size(), runs);
  const double best = *std::max_element(scan.log_likelihood.begin(), scan.log_likelihood.end());
  double weight_sum = 0;
  for (double log_l : scan.log_likelihood) {
    if (log_l - best > -100) weight_sum += std::exp(log_l - best);
  }
  double sum = 0;
  for (std::size_t i = 0; i < runs; ++i) {
    SCOPED_TRACE(i);
    const double p = number(scan.probability[i]);
    EXPECT_EQ(scan.coefficient[i], printed("%g", number(scan.coefficient[i])));
    EXPECT_EQ(scan.probability[i], printed("%g", p));
    const double below = scan.log_likelihood[i] - best;
    if (below < -100.0001) {
      EXPECT_EQ(scan.probability[i], "0");
    } else if (below > -99.9999) {
      EXPECT_NEAR(p / (std::exp(below) / weight_sum), 1.0, 1e-4);
    }
    sum += p;
  }
  EXPECT_NEAR(sum, 1.0, 1e-5 * static_cast<double>(runs));
}

Summary scan_summary(int runs, double min_coeff, double max_coeff) {
  Summary summary;
  summary.scan_mode = true;
  summary.distance_bins = 50;
  summary.runs = runs;
  summary.min_coeff = min_coeff;
  summary.max_coeff = max_coeff;
  return summary;
}

// n = 3 gives Dmin, the geometric mean and Dmax; -Dmin 0.01 -Dmax 100 -n 5
// the powers of ten from 1e-16 to 1e-12.  The file replaces a longer one.
TEST(ScanResultsEndToEnd, CoefficientsRunLinesAndLikelihoodFile) {
  struct Case {
    std::vector<std::string> options;
    Summary summary;
    std::vector<std::string> coefficients, run_lines;
  };
  const Case cases[] = {
      {{"-Dmin", "0.5", "-Dmax", "8", "-n", "3"},
       scan_summary(3, 0.5, 8),
       {"5e-15", "2e-14", "8e-14"},
       {"Run   1 of   3:   D = 5.00000e-15  m^2/s ", "Run   2 of   3:   D = 2.00000e-14  m^2/s ",
        "Run   3 of   3:   D = 8.00000e-14  m^2/s "}},
      {{"-Dmin", "0.01", "-Dmax", "100", "-n", "5"},
       scan_summary(5, 0.01, 100),
       {"1e-16", "1e-15", "1e-14", "1e-13", "1e-12"},
       {"Run   1 of   5:   D = 1.00000e-16  m^2/s ", "Run   2 of   5:   D = 1.00000e-15  m^2/s ",
        "Run   3 of   5:   D = 1.00000e-14  m^2/s ", "Run   4 of   5:   D = 1.00000e-13  m^2/s ",
        "Run   5 of   5:   D = 1.00000e-12  m^2/s "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[1] + " " + c.options[3] + " " + c.options[5]);
    ScratchDir folder;
    CompleteRun run;
    run.photons = alternating_record();
    run.outfile = "pd.dat";
    run.summary = c.summary;
    folder.write("photons.txt", photon_file_text(run.photons));
    folder.write("pd.dat", std::string(100000, '9') + "\n");
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"-d", "50", "photons.txt", "pd.dat"});
    const ScanOutcome scan = run_scan(folder, arguments, "pd.dat");
    EXPECT_EQ(scan.result.status, 0);
    EXPECT_EQ(scan.masked_error, banner_text() + expected_console(run));
    for (const std::string& line : c.run_lines) {
      EXPECT_NE(scan.result.standard_error.find("\n" + line + "    log L = "), std::string::npos)
          << line;
    }
    EXPECT_EQ(scan.coefficient, c.coefficients);
    expect_normalized_likelihood(scan);
  }
}

// Options of trajectory mode only warn, in a fixed order, and a trajectory
// file name is ignored: no such file appears.
TEST(ScanResultsEndToEnd, IgnoredOptionsWarn) {
  const std::string eps =
      "\n\nWARNING: no postscript output for likelihood scan; -eps flag ignored.\n";
  const std::string short_format =
      "\n\nWARNING: no short output for likelihood scan; -s flag ignored.\n";
  const std::string xmgr = "\n\nWARNING: no xmgr output for likelihood scan; -xmgr flag ignored.\n";
  const std::string time_bins = "\n\nWARNING: number of grid points for time axis ignored.\n";
  const std::string increment = "\n\nWARNING: time grid resolution ignored.\n";
  const std::string filename =
      "\n\nWARNING: No average trajectory file is written; filename ignored.\n";
  struct Case {
    std::vector<std::string> arguments;
    std::string warnings;
  };
  const Case cases[] = {
      {{"-xmgr", "-dt", "5", "-t", "10", "-s", "-eps", "-n", "3", "-d", "50", "photons.txt",
        "pd.dat", "traj.dat"},
       eps + short_format + xmgr + time_bins + increment + filename},
      {{"-n", "3", "-d", "50", "photons.txt", "pd.dat", "traj.dat"}, filename},
      {{"-n", "3", "-t", "7", "-d", "50", "photons.txt", "pd.dat"}, time_bins},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.warnings);
    ScratchDir folder;
    CompleteRun run;
    run.photons = alternating_record();
    run.outfile = "pd.dat";
    run.summary = scan_summary(3, 0.01, 10);
    run.option_warnings = c.warnings;
    folder.write("photons.txt", photon_file_text(run.photons));
    const ScanOutcome scan = run_scan(folder, c.arguments, "pd.dat");
    EXPECT_EQ(scan.result.status, 0);
    EXPECT_EQ(scan.masked_error, banner_text() + expected_console(run));
    EXPECT_EQ(scan.coefficient.size(), 3u);
    EXPECT_FALSE(folder.exists("traj.dat"));
  }
}

// ln of the mean of E (acceptor) or 1 - E (donor) over the 150 points of the
// default internal grid at -d 50: the probability of a colour when nothing
// is known about the distance.
double log_mean_colour_probability(int type) {
  double sum = 0;
  for (int i = 0; i < 150; ++i) {
    double r = -13.0 + (26.0 - -13.0) * i / 149;
    if (r < 0) r = 0;
    const double x = r / 6.5;
    const double x3 = x * x * x;
    const double efficiency = 1 / (1 + x3 * x3);
    sum += type == kAcceptor ? efficiency : 1 - efficiency;
  }
  return std::log(sum / 150);
}

// Three photons 8 s apart, scanned with D from 1e-8 to 1e-7 m^2/s: the
// distribution is flat again at every photon, so log L is the log of the
// middle photon's mean colour probability, whatever the colours of the first
// and the last photon.  Were either of them counted, log L would drop by
// more than 0.6.  All runs are alike: P(D) = 1/3 each.
TEST(ScanResultsEndToEnd, OnlyTheMiddleOfThreePhotonsCounts) {
  const int colours[][3] = {{kDonor, kAcceptor, kDonor},    {kAcceptor, kAcceptor, kAcceptor},
                            {kDonor, kAcceptor, kAcceptor}, {kAcceptor, kDonor, kAcceptor},
                            {kDonor, kDonor, kDonor},       {kAcceptor, kDonor, kDonor}};
  // Both colours are far from certain, and they differ by far more than the
  // tolerance below.
  ASSERT_LT(log_mean_colour_probability(kDonor), -0.6);
  ASSERT_LT(log_mean_colour_probability(kAcceptor), -0.6);
  ASSERT_GT(std::abs(log_mean_colour_probability(kDonor) - log_mean_colour_probability(kAcceptor)),
            0.03);
  for (const auto& colour : colours) {
    SCOPED_TRACE(printed("colours %d %d %d", colour[0], colour[1], colour[2]));
    ScratchDir folder;
    CompleteRun run;
    run.photons = {{0, colour[0]}, {8e6, colour[1]}, {1.6e7, colour[2]}};
    run.outfile = "pd.dat";
    run.summary = scan_summary(3, 1e6, 1e7);
    run.every_run_warned = true;  // flat reaches the edges
    folder.write("photons.txt", photon_file_text(run.photons));
    const ScanOutcome scan = run_scan(
        folder, {"-Dmin", "1e6", "-Dmax", "1e7", "-n", "3", "-d", "50", "photons.txt", "pd.dat"},
        "pd.dat");
    EXPECT_EQ(scan.result.status, 0);
    EXPECT_EQ(scan.masked_error, banner_text() + expected_console(run));
    ASSERT_EQ(scan.log_likelihood.size(), 3u);
    for (double log_l : scan.log_likelihood) {
      EXPECT_NEAR(log_l, log_mean_colour_probability(colour[1]), 2e-5);
    }
    EXPECT_EQ(scan.probability, (std::vector<std::string>{"0.333333", "0.333333", "0.333333"}));
  }
}

// A record of 3000 photons generated with D = 3e-14 m^2/s (the generator
// reflects the distance at 2 and 12 nm, inside the grid).  The scan from
// 1e-15 to 1e-12 m^2/s must put its largest P(D) within a factor of 3 of
// the truth; the runs at the ends of the range lie more than 100 below the
// maximum in log L and are written as 0.
TEST(ScanResultsEndToEnd, SyntheticRecordPeaksNearItsCoefficient) {
  const double true_coefficient = 3e-14;
  ScratchDir folder;
  const std::string generator =
      (std::filesystem::path(PELMORA_BINARY).parent_path() / "generate_photons").string();
  const ProcessResult generated =
      run_program(generator,
                  {"-n", "3000", "-rate", "0.1", "-D", "3", "-R", "6.5", "-r0", "6.5", "-min", "2",
                   "-max", "12", "-seed", "1", "photons.txt"},
                  folder.path());
  ASSERT_EQ(generated.status, 0) << generated.standard_error;

  const ScanOutcome scan = run_scan(
      folder, {"-Dmin", "0.1", "-Dmax", "100", "-n", "13", "-d", "50", "photons.txt", "pd.dat"},
      "pd.dat");
  ASSERT_EQ(scan.result.status, 0) << scan.result.standard_error;
  ASSERT_EQ(scan.probability.size(), 13u);
  expect_normalized_likelihood(scan);

  const std::vector<double> coefficients = scan_coefficients(1e-15, 1e-12, 13);
  for (int i = 0; i < 13; ++i) {
    EXPECT_NE(scan.result.standard_error.find(scan_run_prefix(i + 1, 13, coefficients[i])),
              std::string::npos);
  }
  std::size_t peak = 0;
  for (std::size_t i = 0; i < 13; ++i) {
    if (number(scan.probability[i]) > number(scan.probability[peak])) peak = i;
  }
  const double found = number(scan.coefficient[peak]);
  EXPECT_GT(found, true_coefficient / 3);
  EXPECT_LT(found, true_coefficient * 3);

  // The record exercises the cutoff from both sides.
  const double best = *std::max_element(scan.log_likelihood.begin(), scan.log_likelihood.end());
  EXPECT_LT(scan.log_likelihood.front() - best, -100.1);
  EXPECT_LT(scan.log_likelihood.back() - best, -100.1);
  EXPECT_TRUE(
      std::any_of(scan.log_likelihood.begin(), scan.log_likelihood.end(),
                  [&](double log_l) { return log_l - best < -50 && log_l - best > -99.9; }));
}

// The scan's results are lost when the file cannot be written: the error
// follows the announcement, after every run.
TEST(ScanResultsEndToEnd, UnwritableLikelihoodFile) {
  const std::string outfiles[] = {"missing/pd.dat", "/dev/full"};
  for (const std::string& outfile : outfiles) {
    SCOPED_TRACE(outfile);
    ScratchDir folder;
    CompleteRun run;
    run.photons = alternating_record();
    run.outfile = outfile;
    run.summary = scan_summary(3, 0.01, 10);
    folder.write("photons.txt", photon_file_text(run.photons));
    const ScanOutcome scan =
        run_scan(folder, {"-n", "3", "-d", "50", "photons.txt", outfile}, outfile);
    EXPECT_EQ(scan.result.status, 1);
    const std::string complete = expected_console(run);
    const std::string announcement = likelihood_writer_text(outfile);
    const std::size_t cut = complete.find(announcement);
    ASSERT_NE(cut, std::string::npos);
    EXPECT_EQ(scan.masked_error, banner_text() + complete.substr(0, cut + announcement.size()) +
                                     write_error_text(outfile) + kFatal);
    EXPECT_FALSE(folder.exists("missing"));
  }
}

}  // namespace
}  // namespace pelmora::testing
