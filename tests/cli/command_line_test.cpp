#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace pelmora {
namespace {

CommandLineOutcome interpret(const std::string& command_line) {
  std::vector<std::string> words;
  std::istringstream in(command_line);
  for (std::string word; in >> word;) words.push_back(word);
  std::vector<std::string_view> arguments(words.begin(), words.end());
  return interpret_arguments(arguments);
}

CommandLineOutcome interpret_list(const std::vector<std::string>& words) {
  std::vector<std::string_view> arguments(words.begin(), words.end());
  return interpret_arguments(arguments);
}

TEST(CommandLine, DefaultsSelectTrajectoryModeWithConvertedUnits) {
  const CommandLineOutcome outcome = interpret("photons.txt");
  ASSERT_FALSE(outcome.error);
  const RunSettings& s = outcome.settings;
  EXPECT_FALSE(s.scan_mode);
  EXPECT_EQ(s.foerster_radius, 6.5);
  EXPECT_EQ(s.min_distance, 0.0);
  EXPECT_EQ(s.max_distance, 13.0);
  EXPECT_EQ(outcome.analysis.internal_rmin, -13.0);
  EXPECT_EQ(outcome.analysis.internal_rmax, 26.0);
  EXPECT_EQ(outcome.analysis.internal_bins, 1200);
  EXPECT_EQ(outcome.analysis.fft_length, 2048);
  EXPECT_EQ(s.distance_bins, 400);
  EXPECT_EQ(s.time_bins, 0);
  EXPECT_EQ(s.diff_coeff, 1.0 * 1e-14);
  EXPECT_EQ(s.infile, "photons.txt");
  EXPECT_EQ(s.outfile, "outfile.dat");
  EXPECT_FALSE(s.write_trajectory);
  EXPECT_TRUE(outcome.warnings.empty());
}

TEST(CommandLine, ModeFollowsCoefficientOptions) {
  struct Case {
    const char* command_line;
    bool scan_mode;
    double diff_coeff, min_coeff, max_coeff;
    int runs;
  };
  const Case cases[] = {
      {"-D 2 -n 10 f", false, 2e-14, 0, 0, 10},
      {"f", false, 1e-14, 0, 0, 0},
      {"-n 0 f", false, 1e-14, 0, 0, 0},
      {"-n 10 f", true, 0, 0.01 * 1e-14, 10.0 * 1e-14, 10},
      {"-Dmax 3 f", true, 0, 0.01 * 1e-14, 3e-14, 20},
      {"-Dmin 0.5 f", true, 0, 0.5e-14, 10.0 * 1e-14, 20},
      {"-n 3 f", true, 0, 0.01 * 1e-14, 10.0 * 1e-14, 3},
      {"-n 999 f", true, 0, 0.01 * 1e-14, 10.0 * 1e-14, 999},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command_line);
    const CommandLineOutcome outcome = interpret(c.command_line);
    ASSERT_FALSE(outcome.error) << outcome.error->message;
    EXPECT_EQ(outcome.settings.scan_mode, c.scan_mode);
    EXPECT_EQ(outcome.settings.diff_coeff, c.diff_coeff);
    EXPECT_EQ(outcome.settings.min_coeff, c.min_coeff);
    EXPECT_EQ(outcome.settings.max_coeff, c.max_coeff);
    EXPECT_EQ(outcome.settings.runs, c.runs);
  }
}

TEST(CommandLine, OptionValuesAreTakenVerbatimAndLaterOnesWin) {
  CommandLineOutcome outcome = interpret("-min -5 -max 7 -min -s f");
  ASSERT_FALSE(outcome.error);
  EXPECT_EQ(outcome.settings.min_distance, 0.0);  // "-s" consumed as the value
  EXPECT_FALSE(outcome.settings.short_format);
  EXPECT_EQ(outcome.analysis.internal_rmin, -7.0);
  EXPECT_EQ(outcome.analysis.internal_rmax, 14.0);

  outcome = interpret("-R 4 -max 0 -d 57abc f out traj");
  ASSERT_FALSE(outcome.error);
  EXPECT_EQ(outcome.settings.max_distance, 8.0);  // -max 0 means "not given"
  EXPECT_EQ(outcome.settings.distance_bins, 57);
  EXPECT_EQ(outcome.settings.outfile, "out");
  EXPECT_TRUE(outcome.settings.write_trajectory);
}

TEST(CommandLine, BlankPositionalFillsNoSlot) {
  const CommandLineOutcome outcome = interpret_list({" ", "in", " ", "out"});
  ASSERT_FALSE(outcome.error);
  EXPECT_EQ(outcome.settings.infile, "in");
  EXPECT_EQ(outcome.settings.outfile, "out");
  EXPECT_FALSE(outcome.settings.write_trajectory);
}

TEST(CommandLine, ScanModeWarningsComeInOrder) {
  const CommandLineOutcome outcome = interpret("-xmgr -dt 3 -t 7 -s -eps -n 5 f out traj");
  ASSERT_FALSE(outcome.error);
  const std::vector<std::string> expected = {
      "\n\nWARNING: no postscript output for likelihood scan; -eps flag ignored.\n",
      "\n\nWARNING: no short output for likelihood scan; -s flag ignored.\n",
      "\n\nWARNING: no xmgr output for likelihood scan; -xmgr flag ignored.\n",
      "\n\nWARNING: number of grid points for time axis ignored.\n",
      "\n\nWARNING: time grid resolution ignored.\n",
      "\n\nWARNING: No average trajectory file is written; filename ignored.\n",
  };
  EXPECT_EQ(outcome.warnings, expected);
  EXPECT_FALSE(outcome.settings.xmgr_output);
  EXPECT_TRUE(outcome.settings.eps_output);
  EXPECT_FALSE(outcome.settings.write_trajectory);
}

TEST(CommandLine, ErrorsStopAtTheFirstFailure) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
    bool usage;
  };
  const Case cases[] = {
      {{}, "", true},
      {std::vector<std::string>(19, "f"), "", true},
      {{"-R", "0", "-x"}, "Foerster radius must be > 0.", false},
      {{"-x", "-R", "0"}, "Illegal option -x", true},
      {{"a", "b", "c", "d"}, "", true},
      {{"-d", "20000", "-D", "1", "-Dmin", "1"}, "number of distance bins must be < 20000.", false},
      {{"-D", "1", "-Dmin", "1"},
       "Diffusion coefficient and -range must not be given simultaneously.",
       false},
      {{"-n", "2", "-s", "-eps"}, "number of runs must be > 2.", false},
      {{"-n", "5"}, "No input file given.", false},
      {{"-d", "99999999999", "f"}, "number of distance bins must be < 20000.", false},
      {{"-d", "-99999999999", "f"}, "number of distance bins must be > 49.", false},
      {{"-n", "99999999999", "f"}, "number of runs must be < 1000.", false},
  };
  for (const Case& c : cases) {
    const CommandLineOutcome outcome = interpret_list(c.arguments);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->message, c.message);
    EXPECT_EQ(outcome.error->show_usage, c.usage);
  }
}

TEST(CommandLine, NonFiniteRealsAreRefused) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{"-R", "nan", "f"}, "Foerster radius must be > 0."},
      {{"-D", "nan", "f"}, "Diffusion coefficient must be > 0."},
      {{"-Dmin", "-inf", "f"}, "Minimum diffusion coefficient must be > 0."},
      {{"-R", "inf", "f"}, "Invalid Foerster radius 'inf': not a finite number."},
      {{"-Dmax", "1e999", "f"},
       "Invalid maximum diffusion coefficient '1e999': not a finite number."},
      {{"-min", "nan", "f"}, "Invalid minimum distance 'nan': not a finite number."},
      {{"-max", "-1e400", "f"}, "Invalid maximum distance '-1e400': not a finite number."},
      {{"-dt", "inf", "f"}, "Invalid time grid resolution 'inf': not a finite number."},
      {{"-min", "-1e308", "-max", "1e308", "f"},
       "Distance range too wide: extended by its own width on each side, it exceeds "
       "the range of numbers."},
  };
  for (const Case& c : cases) {
    const CommandLineOutcome outcome = interpret_list(c.arguments);
    ASSERT_TRUE(outcome.error) << c.arguments[1] << " " << c.arguments[3 % c.arguments.size()];
    EXPECT_EQ(outcome.error->message, c.message);
    EXPECT_FALSE(outcome.error->show_usage);
  }
}

TEST(CommandLine, OverlongFileNameIsRefused) {
  const std::string longest(kMaxFileNameLength, 'a');
  CommandLineOutcome outcome = interpret_list({longest});
  ASSERT_FALSE(outcome.error);
  EXPECT_EQ(outcome.settings.infile, longest);

  outcome = interpret_list({"in", longest + "b"});
  ASSERT_TRUE(outcome.error);
  EXPECT_EQ(outcome.error->message,
            "File name too long (10000 characters; at most 9999 are accepted): " +
                std::string(40, 'a') + "...");
  EXPECT_FALSE(outcome.error->show_usage);
}

}  // namespace
}  // namespace pelmora
