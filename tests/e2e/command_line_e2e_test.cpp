// The program's console text and exit status for command lines that end
// before or while the options are checked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/usage.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

struct Case {
  std::vector<std::string> arguments;
  int status;
  std::string after_banner;  // everything printed after the banner
};

const std::string kUsage(usage_text());

std::vector<std::string> repeated(const std::string& word, int count) {
  return std::vector<std::string>(static_cast<std::size_t>(count), word);
}

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string error(const std::string& message) {
  return message;
}
std::string with_usage(const std::string& message) {
  return message + kUsage;
}

const Case kCases[] = {
    {{}, 1, kUsage},
    {concat(repeated("-s", 17), {"-eps"}), 1,
     "\n\nERROR: You cannot want short output format and postscript output at the same time.\n"},
    {concat(repeated("-s", 18), {"-eps"}), 1, kUsage},
    {{"f", "-R"}, 1, error("\n\nERROR: Missing Foerster radius.\n")},
    {{"f", "-min"}, 1, error("\n\nERROR: Missing minimum distance.\n")},
    {{"f", "-max"}, 1, error("\n\nERROR: Missing maximum distance.\n")},
    {{"f", "-t"}, 1, error("\n\nERROR: Missing number of time slices.\n")},
    {{"f", "-dt"}, 1, error("\n\nERROR: Missing time grid resolution.\n")},
    {{"f", "-d"}, 1, error("\n\nERROR: Missing number of distance bins.\n")},
    {{"f", "-D"}, 1, error("\n\nERROR: Missing diffusion coefficient.\n")},
    {{"f", "-Dmin"}, 1, error("\n\nERROR: Missing minimum diffusion coefficient.\n")},
    {{"f", "-Dmax"}, 1, error("\n\nERROR: Missing maximum diffusion coefficient.\n")},
    {{"f", "-n"}, 1, error("\n\nERROR: Missing number of runs.\n")},
    {{"-R", "0", "f"}, 1, error("\n\nERROR: Foerster radius must be > 0.\n")},
    {{"-R", "-1", "f"}, 1, error("\n\nERROR: Foerster radius must be > 0.\n")},
    {{"-R", "abc", "f"}, 1, error("\n\nERROR: Foerster radius must be > 0.\n")},
    {{"-D", "0", "f"}, 1, error("\n\nERROR: Diffusion coefficient must be > 0.\n")},
    {{"-Dmin", "-2", "f"}, 1, error("\n\nERROR: Minimum diffusion coefficient must be > 0.\n")},
    {{"-Dmax", "0", "f"}, 1, error("\n\nERROR: Maximum diffusion coefficient must be > 0.\n")},
    {{"-d", "49", "f"}, 1, error("\n\nERROR: number of distance bins must be > 49.\n")},
    {{"-d", "abc", "f"}, 1, error("\n\nERROR: number of distance bins must be > 49.\n")},
    {{"-d", "20000", "f"}, 1, error("\n\nERROR: number of distance bins must be < 20000.\n")},
    // -d 50 and -d 19999 pass their checks: the next check reports instead.
    {{"-d", "50"}, 1, error("\n\nERROR: No input file given.\n")},
    {{"-d", "19999"}, 1, error("\n\nERROR: No input file given.\n")},
    {{"-D", "2", "-Dmax", "3", "f"},
     1,
     error("\n\nERROR: Diffusion coefficient and -range must not be given simultaneously.\n")},
    {{"-D", "2", "-Dmin", "3", "f"},
     1,
     error("\n\nERROR: Diffusion coefficient and -range must not be given simultaneously.\n")},
    {{"-Dmin", "20", "f"},
     1,
     error("\n\nERROR: Maximum diffusion coefficient must be > Minimum diffusion coefficient.\n")},
    {{"-Dmin", "5", "-Dmax", "5", "f"},
     1,
     error("\n\nERROR: Maximum diffusion coefficient must be > Minimum diffusion coefficient.\n")},
    {{"-s", "-eps", "f"},
     1,
     error("\n\nERROR: You cannot want short output format and postscript output at the same "
           "time.\n")},
    {{"-n", "2", "f"}, 1, error("\n\nERROR: number of runs must be > 2.\n")},
    {{"-n", "1000", "f"}, 1, error("\n\nERROR: number of runs must be < 1000.\n")},
    {{"-n", "1000", "-s", "-eps", "f"},
     1,
     "\n\nWARNING: no postscript output for likelihood scan; -eps flag ignored.\n"
     "\n\nWARNING: no short output for likelihood scan; -s flag ignored.\n"
     "\n\nERROR: number of runs must be < 1000.\n"},
    {{"-n", "10"}, 1, error("\n\nERROR: No input file given.\n")},
    {{"-xmgr", "f"}, 1, error("\n\nERROR: no trajectory output file given.\n")},
    {{"-xmgr", "f", "out"}, 1, error("\n\nERROR: no trajectory output file given.\n")},
    {{"f", "out", "traj", "more"}, 1, kUsage},
    {{"f", "-"}, 1, with_usage("\n\nERROR: Illegal option -\n\n")},
    {{"f", "-x"}, 1, with_usage("\n\nERROR: Illegal option -x\n\n")},
    {{"-5", "f"}, 1, with_usage("\n\nERROR: Illegal option -5\n\n")},
    {{" ", "-n", "5"}, 1, error("\n\nERROR: No input file given.\n")},
    {{"f", "./f"},
     1,
     error("\n\nERROR: Output file ./f is the input file f; choose another name.\n")},
    {{"f", "out", "out"},
     1,
     error("\n\nERROR: Distance distribution and average trajectory would both be written to "
           "out; choose two names.\n")},
    {{"-R", "1e999", "f"},
     1,
     error("\n\nERROR: Invalid Foerster radius '1e999': not a finite number.\n")},
};

TEST(CommandLineEndToEnd, ExactTextAndStatus) {
  const std::string banner = banner_text();
  for (const Case& c : kCases) {
    std::string shown;
    for (const std::string& argument : c.arguments) shown += "[" + argument + "] ";
    SCOPED_TRACE(shown);
    ScratchDir folder;
    const ProcessResult result = run_pelmora(c.arguments, folder.path());
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.standard_error, banner + c.after_banner);
    EXPECT_EQ(result.standard_output, "");
  }
}

}  // namespace
}  // namespace pelmora::testing
