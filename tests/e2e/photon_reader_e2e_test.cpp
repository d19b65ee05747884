// The program's console text and exit status for runs that end in an error
// at the photon reader or right after it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "state/text_format.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

const std::string kFatal = "\n\nPelmora terminated with fatal error.\n\n";
const std::string kOutputLine =
    "  Output file for distance distribution map or likelihood: outfile.dat\n";

std::string reading(const std::string& name) {
  return "\n  Reading photon arrival times from file " + name + " ... ";
}

std::string records(const std::vector<std::string>& times, const std::string& code = "0") {
  std::string text;
  for (const std::string& time : times) text += "1 0 " + time + " " + code + " 0 0 0 0\n";
  return text;
}

// One line of about 2.7 MB, so that it spans several of the reader's 1 MiB
// blocks, with a 5003-character number across the first block boundary.
std::string long_line() {
  std::string text = "1 0 1 0 0 0 0 0";
  text.append((1u << 20) - 2500 - text.size() - 4, ' ');
  text += "1 0 " + std::string(5000, '0') + "2.5 4 0 0 0 0 1 0 3 0 0 0 0 0";
  for (int t = 4; t <= 100003; ++t) text += " 1 0 " + std::to_string(t) + " 0 0 0 0 0";
  return text;
}

struct Case {
  const char* name;
  std::optional<std::string> file;  // written as photons.txt; none: no file
  std::vector<std::string> arguments;
  std::string after_banner;
  int status = 1;
};

std::vector<Case> cases() {
  const std::string read_ok = reading("photons.txt") + "Done.\n";
  return {
      {"-t 3 is refused only after the reader's lines",
       records({"10"}) + records({"20"}, "4") + records({"30.5"}, "2") + "-99999 0 0 0 0 0 0 0\n",
       {"-t", "3", "photons.txt"},
       read_ok +
           "    Read 3 photons (2 donor, 1 acceptor).\n"
           "    Start time: 10.000000 mu s    End time: 30.500000 mu s   (Length: 20.500000 mu "
           "s)\n" +
           kOutputLine + "\n\nERROR: number of time slices (3) must be > 3.\n"},
      {"a simultaneous photon warns while reading",
       records({"1000", "1000", "1001"}),
       {"-t", "3", "photons.txt"},
       reading("photons.txt") +
           "\n\nWARNING: Simultaneous photons found (t=1000.000000). Shifted one a bit.\n\n"
           "Done.\n"
           "    Read 3 photons (3 donor, 0 acceptor).\n"
           "    Start time: 1000.000000 mu s    End time: 1001.000000 mu s   (Length: 1.000000 mu "
           "s)\n" +
           kOutputLine + "\n\nERROR: number of time slices (3) must be > 3.\n"},
      {"-dt deriving exactly 100000 slices",
       records({"0", "50000", "99998.5"}),
       {"-dt", "1", "photons.txt"},
       read_ok +
           "    Read 3 photons (3 donor, 0 acceptor).\n"
           "    Start time: 0.000000 mu s    End time: 99998.500000 mu s   (Length: 99998.500000 "
           "mu s)\n" +
           kOutputLine + "\n\nERROR: number of time slices (100000) must be < 100000.\n"},
      {"-dt deriving 100001 slices",
       records({"0", "50000", "99999.5"}),
       {"-dt", "1", "photons.txt"},
       read_ok +
           "    Read 3 photons (3 donor, 0 acceptor).\n"
           "    Start time: 0.000000 mu s    End time: 99999.500000 mu s   (Length: 99999.500000 "
           "mu s)\n" +
           kOutputLine +
           "\n\nERROR: Time grid resolution too small; would allocate 100001 grid points.\n"},
      {"negative -dt",
       records({"1", "2", "3"}),
       {"-dt", "-1", "photons.txt"},
       read_ok +
           "    Read 3 photons (3 donor, 0 acceptor).\n"
           "    Start time: 1.000000 mu s    End time: 3.000000 mu s   (Length: 2.000000 mu s)\n" +
           kOutputLine +
           "\n\nWARNING: Time grid resolution must be positive.\n"
           "\n\nERROR: number of time slices (0) must be > 3.\n"},
      {"one long line",
       long_line(),
       {"-t", "3", "photons.txt"},
       read_ok +
           "    Read 100003 photons (100002 donor, 1 acceptor).\n"
           "    Start time: 1.000000 mu s    End time: 100003.000000 mu s   (Length: 100002.000000 "
           "mu s)\n" +
           kOutputLine + "\n\nERROR: number of time slices (3) must be > 3.\n"},
      {"missing file",
       std::nullopt,
       {"photons.txt"},
       reading("photons.txt") + "\n\nERROR: Could not read from file photons.txt\n" + kFatal},
      {"a folder cannot be read",
       std::nullopt,
       {"."},
       reading(".") + "\n\nERROR: Could not read from file .\n" + kFatal},
      {"unsorted times",
       records({"10", "5"}),
       {"photons.txt"},
       reading("photons.txt") +
           "\n\nERROR: photon times not sorted (t=5.000000). Please sort and re-run.\n\n" + kFatal},
      {"unknown type",
       records({"1"}) + records({"2"}, "2.5"),
       {"photons.txt"},
       reading("photons.txt") + "\n\nERROR: Unknown photon type (2.500000)\n" + kFatal},
      {"too few photons",
       records({"1", "2"}),
       {"photons.txt"},
       read_ok + "\n\nERROR: Too few photons (2).\n\n" + kFatal},
      {"record cut short",
       records({"1", "2", "3"}) + "4 0 5 0 0",
       {"photons.txt"},
       reading("photons.txt") +
           "\n\nERROR: Photon record 4 is incomplete: the file ends after 5 of its 8 numbers.\n" +
           kFatal},
      {"text inside a record",
       records({"1", "2"}) + "1 0 3 donor 0 0 0 0\n",
       {"photons.txt"},
       reading("photons.txt") +
           "\n\nERROR: Photon record 3: number 4 of 8 is not a number (found 'donor').\n" + kFatal},
  };
}

TEST(PhotonReaderEndToEnd, ExactTextAndStatus) {
  const std::string banner = banner_text();
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    ScratchDir folder;
    if (c.file) folder.write("photons.txt", *c.file);
    const ProcessResult result = run_pelmora(c.arguments, folder.path());
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.standard_error, banner + c.after_banner);
    EXPECT_EQ(result.standard_output, "");
  }
}

}  // namespace
}  // namespace pelmora::testing
