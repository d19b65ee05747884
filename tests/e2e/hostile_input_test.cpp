// Hostile input, end to end: files and command lines that instruments,
// scripts and people produce by mistake.  Every run must end with a clear
// message and status 1, or with a correct result and status 0; none may
// crash, hang, print raw bytes to the console, or leave a half-written
// result file behind an error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

namespace fs = std::filesystem;

const std::string kFatal = "\n\nPelmora terminated with fatal error.\n\n";
const std::string kReady = "\n\nPelmora ready. No errors.\n\n";
const std::string kReadyWarnings = "\n\nPelmora ready. There have been warnings.\n\n";

// Generous: the slowest case takes seconds even under the sanitizers; a run
// that hangs is killed and reported instead of stalling the suite.
const std::string kTimeoutSeconds = "300";

std::string record(const std::string& time, const std::string& code = "0") {
  return "1 0 " + time + " " + code + " 0 0 0 0\n";
}

// Five photons over 0..100 mu s, both colours.
const std::string kFivePhotons = record("0") + record("20", "4") + record("45") +
                                 record("70", "6") + record("100", "2") + "-99999 0 0 0 0 0 0 0\n";

// Runs pelmora under `timeout`; with `shell_setup` the run goes through bash,
// which applies it (e.g. a file-size limit) before exec.
ProcessResult run_guarded(const std::vector<std::string>& arguments, const fs::path& folder,
                          const std::string& shell_setup = "") {
  std::vector<std::string> command;
  std::string program = "/usr/bin/timeout";
  if (!shell_setup.empty()) {
    program = "/bin/bash";
    command = {
        "-c", shell_setup + "; exec /usr/bin/timeout -s KILL " + kTimeoutSeconds + " \"$0\" \"$@\"",
        PELMORA_BINARY};
  } else {
    command = {"-s", "KILL", kTimeoutSeconds, PELMORA_BINARY};
  }
  command.insert(command.end(), arguments.begin(), arguments.end());
  return run_program(program, command, folder);
}

// What every run must satisfy, whatever its input.
void expect_sound_ending(const ProcessResult& result) {
  EXPECT_TRUE(result.status == 0 || result.status == 1)
      << "status " << result.status << " (124 or more: timed out or killed by a signal)\n"
      << result.standard_error;
  EXPECT_EQ(result.standard_output, "");
  for (const char c : result.standard_error) {
    const auto byte = static_cast<unsigned char>(c);
    if (!(byte == '\n' || byte == '\b' || (byte >= 0x20 && byte < 0x7f))) {
      ADD_FAILURE() << "raw byte 0x" << std::hex << static_cast<int>(byte) << " on the console";
      break;
    }
  }
  const std::string& err = result.standard_error;
  if (result.status == 0) {
    EXPECT_TRUE(err.ends_with(kReady) || err.ends_with(kReadyWarnings)) << err;
  } else if (result.status == 1) {
    EXPECT_TRUE(err.find("\n\nERROR: ") != std::string::npos ||
                err.find("\nusage: pelmora ") != std::string::npos)
        << err;
  }
}

void expect_error(const ProcessResult& result, const std::string& message, bool fatal = true) {
  expect_sound_ending(result);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.standard_error.find(message), std::string::npos)
      << "expected: " << message << "\ngot: " << result.standard_error;
  if (fatal) {
    EXPECT_TRUE(result.standard_error.ends_with(kFatal)) << result.standard_error;
  }
}

std::size_t line_count(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Deterministic bytes of every value, none of them a digit at the start.
std::string garbage(std::size_t length) {
  std::string bytes(length, '\0');
  std::uint32_t state = 12345;
  for (char& c : bytes) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  bytes[0] = '\xff';
  return bytes;
}

struct FileCase {
  const char* name;
  std::string contents;  // written as photons.txt
  int status;
  std::string message;  // an error message, or a warning of a good run
};

TEST(HostileInput, BadPhotonFilesEndWithTheirMessage) {
  const std::string ten_mb(10u << 20, '7');
  const std::vector<FileCase> cases = {
      {"binary garbage", garbage(1 << 16), 1, "\n\nERROR: Too few photons (0).\n\n"},
      {"binary garbage inside a record", "1 0 " + garbage(4096), 1,
       "\n\nERROR: Photon record 1: number 3 of 8 is not a number (found '\\xFF"},
      {"a NUL byte inside a record", std::string("1 0 1 0 0\0 0 0\n", 16) + kFivePhotons, 1,
       "\n\nERROR: Photon record 1: number 6 of 8 is not a number (found '\\x00')."},
      {"a 10 MB number", "1 0 " + ten_mb + " 0 0 0 0 0\n" + kFivePhotons, 1,
       "\n\nERROR: Photon record 1: arrival time is not a finite number (inf).\n"},
      {"a 400-digit time", record(std::string(400, '9')) + kFivePhotons, 1,
       "\n\nERROR: Photon record 1: arrival time is not a finite number (inf).\n"},
      {"a time of 1e39", record("1") + record("1e39"), 1,
       "\n\nERROR: Photon record 2: arrival time is not a finite number (inf).\n"},
      {"a time of -1e39", record("-1e39"), 1,
       "\n\nERROR: Photon record 1: arrival time is not a finite number (-inf).\n"},
      {"a type code of 1e39", record("1", "1e39"), 1,
       "\n\nERROR: Photon record 1: type code is not a finite number (inf).\n"},
      {"a 400-digit type code", record("1", "2.5" + std::string(397, '0')), 1,
       "\n\nERROR: Unknown photon type (2.500000)\n"},
      {"a record cut short", kFivePhotons.substr(0, 40), 1,
       "\n\nERROR: Photon record 3 is incomplete: the file ends after 3 of its 8 numbers.\n"},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir folder;
    folder.write("photons.txt", c.contents);
    const ProcessResult result = run_guarded({"-t", "4", "-d", "50", "photons.txt"}, folder.path());
    expect_error(result, c.message);
    EXPECT_FALSE(folder.exists("outfile.dat"));
  }
}

// Spellings that must give exactly the result of the plain file.
TEST(HostileInput, OddSpellingsGiveThePlainResult) {
  const std::vector<FileCase> cases = {
      {"a 10 MB line of blanks before the records",
       std::string(10u << 20, ' ') + record("0") + record("20", "4") + record("45") +
           record("70", "6") + record("100", "2"),
       0, ""},
      {"all records on one line",
       "1 0 0 0 0 0 0 0 1 0 20 4 0 0 0 0 1 0 45 0 0 0 0 0 1 0 70 6 0 0 0 0 1 0 100 2 0 0 0 0", 0,
       ""},
      {"400-digit numbers",
       record(std::string(400, '0')) + record("20", "4") + record("45." + std::string(397, '0')) +
           record("70", std::string(399, '0') + "6") + record("100", "2"),
       0, ""},
      {"negative zeros",
       record("-0", "-0") + record("20", "4") + record("45", "-0.0") + record("70", "6") +
           record("100", "2"),
       0, ""},
      {"a NUL byte where a record would begin ends the data",
       kFivePhotons.substr(0, kFivePhotons.size() - 21) + std::string("\0 garbage", 9), 0, ""},
  };
  ScratchDir reference;
  reference.write("photons.txt", kFivePhotons);
  const std::vector<std::string> arguments = {"-t",          "4",       "-d",      "50",
                                              "photons.txt", "map.dat", "traj.dat"};
  const ProcessResult expected = run_guarded(arguments, reference.path());
  ASSERT_EQ(expected.status, 0) << expected.standard_error;
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir folder;
    folder.write("photons.txt", c.contents);
    const ProcessResult result = run_guarded(arguments, folder.path());
    expect_sound_ending(result);
    ASSERT_EQ(result.status, 0) << result.standard_error;
    EXPECT_EQ(folder.read("map.dat"), reference.read("map.dat"));
    EXPECT_EQ(folder.read("traj.dat"), reference.read("traj.dat"));
  }
}

TEST(HostileInput, InputThatCannotBeRead) {
  ScratchDir folder;
  fs::create_directory(folder / "a_directory");
  expect_error(run_guarded({"a_directory"}, folder.path()),
               "\n\nERROR: Could not read from file a_directory\n");
  // Opens, but every read fails.
  expect_error(run_guarded({"/proc/self/mem"}, folder.path()),
               "\n\nERROR: Could not read from file /proc/self/mem\n");
  expect_error(run_guarded({"missing.txt"}, folder.path()),
               "\n\nERROR: Could not read from file missing.txt\n");
  const std::string long_name(300, 'n');
  expect_error(run_guarded({long_name}, folder.path()),
               "\n\nERROR: Could not read from file " + long_name + "\n");
  expect_error(run_guarded({std::string(10000, 'n')}, folder.path()),
               "\n\nERROR: File name too long (10000 characters; at most 9999 are accepted)",
               false);
  EXPECT_FALSE(folder.exists("outfile.dat"));
}

TEST(HostileInput, FileWithoutReadPermission) {
  ScratchDir folder;
  folder.write("photons.txt", kFivePhotons);
  fs::permissions(folder / "photons.txt", fs::perms::none);
  if (access((folder / "photons.txt").c_str(), R_OK) == 0) {
    GTEST_SKIP() << "running with the right to read any file (root): a file without read "
                    "permission is still readable; the unreadable-file path is covered by "
                    "InputThatCannotBeRead";
  }
  expect_error(run_guarded({"photons.txt"}, folder.path()),
               "\n\nERROR: Could not read from file photons.txt\n");
}

struct OutputCase {
  const char* name;
  std::vector<std::string> arguments;  // after the photon file
  std::string failing;                 // the file name the error names
  std::vector<std::string> complete;   // result files that must be there, whole
};

TEST(HostileInput, OutputThatCannotBeWritten) {
  struct stat device {};
  const bool have_full = stat("/dev/full", &device) == 0 && S_ISCHR(device.st_mode);
  std::vector<OutputCase> cases = {
      {"a directory as outfile", {"a_directory"}, "a_directory", {}},
      {"a directory as trajectory file", {"map.dat", "a_directory"}, "a_directory", {"map.dat"}},
      {"a missing directory", {"missing/map.dat"}, "missing/map.dat", {}},
      {"a missing directory for the trajectory",
       {"map.dat", "-xmgr", "missing/t.agr"},
       "missing/t.agr",
       {"map.dat"}},
      {"a missing directory in scan mode", {"-n", "3", "missing/p.dat"}, "missing/p.dat", {}},
  };
  if (have_full) {
    cases.push_back({"a full device as outfile", {"/dev/full"}, "/dev/full", {}});
    cases.push_back({"a full device as EPS outfile", {"-eps", "/dev/full"}, "/dev/full", {}});
    cases.push_back(
        {"a full device as trajectory file", {"map.dat", "/dev/full"}, "/dev/full", {"map.dat"}});
    cases.push_back({"a full device in scan mode", {"-n", "3", "/dev/full"}, "/dev/full", {}});
  }
  ScratchDir reference;
  reference.write("photons.txt", kFivePhotons);
  ASSERT_EQ(run_guarded({"-t", "4", "-d", "50", "photons.txt", "map.dat"}, reference.path()).status,
            0);
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir folder;
    folder.write("photons.txt", kFivePhotons);
    fs::create_directory(folder / "a_directory");
    std::vector<std::string> arguments = {"-t", "4", "-d", "50", "photons.txt"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    expect_error(run_guarded(arguments, folder.path()),
                 "\n\nERROR: Could not write to file " + c.failing + "\n");
    EXPECT_TRUE(fs::is_directory(folder / "a_directory"));
    EXPECT_TRUE(fs::is_empty(folder / "a_directory"));
    EXPECT_FALSE(folder.exists("missing"));
    for (const std::string& name : c.complete) EXPECT_EQ(folder.read(name), reference.read(name));
  }
  if (have_full) {
    struct stat after {};
    ASSERT_EQ(stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
  }
}

// A result file that fills up part way (here: the file-size limit) is
// removed, so that no truncated file is left looking like a result.
TEST(HostileInput, PartlyWrittenResultIsRemoved) {
  const std::string limit = "trap '' XFSZ; ulimit -f ";
  {
    ScratchDir folder;
    folder.write("photons.txt", kFivePhotons);
    // About 430 kB of map against a limit of 100 kB.
    expect_error(run_guarded({"-t", "40", "-d", "400", "photons.txt", "map.dat"}, folder.path(),
                             limit + "100"),
                 "\n\nERROR: Could not write to file map.dat\n");
    EXPECT_FALSE(folder.exists("map.dat"));
  }
  {
    // The map fits; the xmgr file with its 2999 photon markers does not.
    ScratchDir folder;
    fs::copy_file(fs::path(PELMORA_SOURCE_DIR) / "examples" / "photons.txt",
                  folder / "photons.txt");
    expect_error(
        run_guarded({"-t", "4", "-d", "50", "-s", "photons.txt", "map.dat", "-xmgr", "traj.agr"},
                    folder.path(), limit + "20"),
        "\n\nERROR: Could not write to file traj.agr\n");
    EXPECT_FALSE(folder.exists("traj.agr"));
    EXPECT_EQ(line_count(folder.read("map.dat")), 4u * 50u);
  }
}

struct TwiceCase {
  std::vector<std::string> arguments;  // before the photon file
  std::string console;                 // a line that shows the later value won
};

TEST(HostileInput, EveryOptionGivenTwiceTakesTheLaterValue) {
  const std::vector<TwiceCase> cases = {
      {{"-R", "3", "-R", "5"}, "  Foerster radius: 5 nm\n"},
      {{"-min", "1", "-min", "2"}, "  Smallest distance considered 2 nm (internal: -9 nm)\n"},
      {{"-max", "20", "-max", "12"}, "  Largest  distance considered 12 nm (internal: 24 nm)\n"},
      {{"-d", "400", "-d", "50"},
       "  Number of grid points for distance axis: 50 (internal: 150)\n"},
      {{"-t", "4000", "-t", "5"}, "  Number of grid points for time axis: 5\n"},
      {{"-dt", "0.001", "-dt", "10"}, "  Number of grid points for time axis: 11\n"},
      {{"-D", "5", "-D", "2"}, "diffusion coefficient D = 2e-14 m^2/s\n"},
      {{"-Dmin", "0.5", "-Dmin", "0.1", "-n", "3"},
       "    ranging from 1e-15 m^2/s to 1e-13 m^2/s.\n"},
      {{"-Dmax", "5", "-Dmax", "2", "-n", "3"}, "    ranging from 1e-16 m^2/s to 2e-14 m^2/s.\n"},
      {{"-n", "30", "-n", "3"}, "  Will calculate likelihoods for 3 different diffusion"},
      {{"-s", "-s"}, "(short greyscale format)... Done.\n"},
      {{"-eps", "-eps"}, "to encapsulated postscript file outfile.dat ... Done.\n"},
      {{"-xmgr", "-xmgr"}, "  Output file for average trajectory (xmgr-format): traj.agr\n"},
  };
  for (const TwiceCase& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    ScratchDir folder;
    folder.write("photons.txt", kFivePhotons);
    std::vector<std::string> arguments = c.arguments;
    // Small grids keep the runs quick, unless the case sets them itself.
    if (c.arguments[0] != "-d") arguments.insert(arguments.end(), {"-d", "50"});
    const bool times_given = c.arguments[0] == "-t" || c.arguments[0] == "-dt";
    if (!times_given && c.arguments[0][1] != 'n' && c.arguments[0].rfind("-Dm", 0) != 0) {
      arguments.insert(arguments.end(), {"-t", "4"});
    }
    arguments.push_back("photons.txt");
    if (c.arguments[0] == "-xmgr") arguments.insert(arguments.end(), {"outfile.dat", "traj.agr"});
    const ProcessResult result = run_guarded(arguments, folder.path());
    expect_sound_ending(result);
    EXPECT_EQ(result.status, 0) << result.standard_error;
    EXPECT_NE(result.standard_error.find(c.console), std::string::npos)
        << "expected: " << c.console << "\ngot: " << result.standard_error;
  }
  // All of them twice is more arguments than a command line may have.
  ScratchDir folder;
  std::vector<std::string> all;
  for (int twice = 0; twice < 2; ++twice) {
    all.insert(all.end(),
               {"-R", "5", "-min",  "0", "-max",  "10", "-d", "50", "-t", "4",    "-dt",  "1",
                "-D", "1", "-Dmin", "1", "-Dmax", "2",  "-n", "3",  "-s", "-eps", "-xmgr"});
  }
  all.push_back("photons.txt");
  const ProcessResult result = run_guarded(all, folder.path());
  expect_sound_ending(result);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.standard_error.find("\nusage: pelmora "), std::string::npos);
}

// The largest distance grid (an FFT of 131072 points) gives a complete result.
TEST(HostileInput, LargestDistanceGrid) {
  ScratchDir folder;
  folder.write("photons.txt", kFivePhotons);
  const ProcessResult result =
      run_guarded({"-d", "19999", "-t", "4", "photons.txt", "map.dat"}, folder.path());
  expect_sound_ending(result);
  ASSERT_EQ(result.status, 0) << result.standard_error;
  EXPECT_EQ(line_count(folder.read("map.dat")), 4u * 19999u);
}

// So does the largest number of time slices (on the smallest distance grid,
// to keep it quick).
TEST(HostileInput, MostTimeSlices) {
  ScratchDir folder;
  folder.write("photons.txt", kFivePhotons);
  const ProcessResult result =
      run_guarded({"-d", "50", "-t", "99999", "-s", "photons.txt", "map.dat"}, folder.path());
  expect_sound_ending(result);
  ASSERT_EQ(result.status, 0) << result.standard_error;
  EXPECT_EQ(line_count(folder.read("map.dat")), 99999u * 50u);
}

}  // namespace
}  // namespace pelmora::testing
