// Result files against what a shared machine does to a run: a signal while
// the result is written (Ctrl-C, a batch system's time limit, a closed
// terminal), a file-size limit, a neighbouring run writing the same name,
// and names that are symbolic links.  A result name ends up holding the
// complete new result or what it held before, never a part or a mix, and
// no temporary file is left behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/run_binary.h"

extern char** environ;

namespace pelmora::testing {
namespace {

namespace fs = std::filesystem;

std::string record(const std::string& time, const std::string& code) {
  return "1 0 " + time + " " + code + " 0 0 0 0\n";
}

const std::string kFivePhotons = record("0", "0") + record("20", "4") + record("45", "0") +
                                 record("70", "6") + record("100", "2");

// Far beyond any run here; it only keeps a broken build from stalling the
// suite.
constexpr auto kPatience = std::chrono::seconds(300);

std::set<std::string> entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Starts pelmora in `folder` through bash, which runs `shell_setup` (a
// file-size limit, a trap) and then becomes pelmora, keeping the process
// id.  The signals under test start at their default actions, unblocked,
// whatever the test runner has set.  Console text is discarded.
pid_t start_pelmora(const std::vector<std::string>& arguments, const fs::path& folder,
                    const std::string& shell_setup = "") {
  std::vector<std::string> storage = {"/bin/bash", "-c", shell_setup + " exec \"$0\" \"$@\"",
                                      PELMORA_BINARY};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : storage) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) {
    sigaddset(&defaults, signal_number);
  }
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  EXPECT_EQ(spawned, 0);
  return pid;
}

// The exit status as a shell shows it: 128 + signal for a killed process.
int shell_status(int wait_status) {
  return WIFSIGNALED(wait_status) ? 128 + WTERMSIG(wait_status) : WEXITSTATUS(wait_status);
}

int wait_for(pid_t pid) {
  int wait_status = 0;
  while (waitpid(pid, &wait_status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return shell_status(wait_status);
}

// Waits until the run has written `bytes` to a file other than the photon
// file, then stops it there (SIGSTOP) and returns what that file holds.
// Nothing when the run ended first, or never got there (it is then killed).
std::optional<std::uintmax_t> stop_while_writing(pid_t pid, const fs::path& folder,
                                                 std::uintmax_t bytes) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  std::optional<fs::path> written;
  while (!written && std::chrono::steady_clock::now() < deadline) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      std::error_code vanished;
      if (entry.path().filename() != "photons.txt" && entry.file_size(vanished) >= bytes) {
        written = entry.path();
      }
    }
    int wait_status = 0;
    if (waitpid(pid, &wait_status, WNOHANG) != 0) return std::nullopt;
    const timespec pause{0, 1000000};
    nanosleep(&pause, nullptr);
  }
  if (!written) {
    kill(pid, SIGKILL);
    wait_for(pid);
    return std::nullopt;
  }
  if (kill(pid, SIGSTOP) != 0) return std::nullopt;
  int wait_status = 0;
  if (waitpid(pid, &wait_status, WUNTRACED) != pid || !WIFSTOPPED(wait_status)) return std::nullopt;
  std::error_code vanished;
  return fs::file_size(*written, vanished);
}

std::size_t line_count(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

struct SignalCase {
  int signal_number;
  std::string shell_setup;
  int status;
  bool replaced;  // the signal is ignored and the run completes
};

// The signal comes while the map is being written.  To be sure of that, the
// run is stopped once its first megabyte is out and the signal is sent while
// it stands still; it then resumes with the signal pending.
TEST(ResultFileFaults, SignalWhileWritingLeavesTheEarlierFile) {
  // 600 000 lines of at least 27 bytes: many blocks of a megabyte.
  const std::vector<std::string> arguments = {"-d", "400", "-t", "1500", "photons.txt", "map.dat"};
  const std::size_t least_size = 600000u * 27u;
  const std::vector<SignalCase> cases = {
      {SIGTERM, "", 128 + SIGTERM, false},
      {SIGINT, "", 128 + SIGINT, false},
      {SIGHUP, "", 128 + SIGHUP, false},
      {SIGHUP, "trap '' HUP;", 0, true},  // as under nohup
  };
  for (const SignalCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "signal " << c.signal_number << " " << c.shell_setup);
    ScratchDir folder;
    folder.write("photons.txt", kFivePhotons);
    folder.write("map.dat", "old\n");
    const pid_t pid = start_pelmora(arguments, folder.path(), c.shell_setup);
    const std::optional<std::uintmax_t> written = stop_while_writing(pid, folder.path(), 1u << 20);
    ASSERT_TRUE(written) << "the run ended before it had written a megabyte";
    // Blocks of a megabyte remain, each preceded by a look at the signals
    // (only a test process starved for the whole writing could miss this).
    ASSERT_LT(*written + (4u << 20), least_size);

    ASSERT_EQ(kill(pid, c.signal_number), 0);
    ASSERT_EQ(kill(pid, SIGCONT), 0);
    EXPECT_EQ(wait_for(pid), c.status);
    EXPECT_EQ(entries(folder.path()), (std::set<std::string>{"photons.txt", "map.dat"}));
    if (c.replaced) {
      EXPECT_EQ(line_count(folder.read("map.dat")), 600000u);
    } else {
      EXPECT_TRUE(folder.read("map.dat") == "old\n");
    }
  }
}

// Without help from the shell (no trap of SIGXFSZ), an exceeded file-size
// limit is a write error like a full disk.
TEST(ResultFileFaults, FileSizeLimitIsAWriteError) {
  ScratchDir folder;
  folder.write("photons.txt", kFivePhotons);
  folder.write("map.dat", "old\n");
  // About 430 kB of map against a limit of 100 kB.
  const ProcessResult result =
      run_program("/bin/bash",
                  {"-c", "ulimit -f 100; exec \"$0\" \"$@\"", PELMORA_BINARY, "-t", "40", "-d",
                   "400", "photons.txt", "map.dat"},
                  folder.path());
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.standard_error.ends_with(
      "\n\nERROR: Could not write to file map.dat\n\n\nPelmora terminated with fatal error.\n\n"))
      << result.standard_error;
  EXPECT_TRUE(folder.read("map.dat") == "old\n");
  EXPECT_EQ(entries(folder.path()), (std::set<std::string>{"photons.txt", "map.dat"}));
}

// Two runs with different D on one name, the second written in full while
// the first stands still part way through its writing: the name holds the
// whole result of one of them.
TEST(ResultFileFaults, NeighbouringRunsLeaveOneCompleteResult) {
  ScratchDir folder;
  folder.write("photons.txt", kFivePhotons);
  const auto arguments = [](const char* coefficient) {
    return std::vector<std::string>{"-d", "50",        "-t",          "8000",
                                    "-D", coefficient, "photons.txt", "same.dat"};
  };
  std::vector<std::string> results;
  for (const char* coefficient : {"1", "5"}) {
    ASSERT_EQ(run_pelmora(arguments(coefficient), folder.path()).status, 0);
    results.push_back(folder.read("same.dat"));
  }
  ASSERT_FALSE(results[0] == results[1]);
  folder.write("same.dat", "old\n");

  const pid_t first = start_pelmora(arguments("1"), folder.path());
  ASSERT_TRUE(stop_while_writing(first, folder.path(), 1u << 20));
  const pid_t second = start_pelmora(arguments("5"), folder.path());
  EXPECT_EQ(wait_for(second), 0);
  ASSERT_EQ(kill(first, SIGCONT), 0);
  EXPECT_EQ(wait_for(first), 0);
  const std::string result = folder.read("same.dat");
  EXPECT_TRUE(result == results[0] || result == results[1]);
  EXPECT_EQ(entries(folder.path()), (std::set<std::string>{"photons.txt", "same.dat"}));
}

struct LinkCase {
  std::vector<std::string> names;  // outfile and trajectory file
  std::string refusal;             // empty: the run succeeds
};

// A link that leads nowhere yet still names where a result would go: the
// map through it and the trajectory under that name would overwrite each
// other.
TEST(ResultFileFaults, DanglingSymbolicLinks) {
  const auto both = [](const std::string& name) {
    return "\n\nERROR: Distance distribution and average trajectory would both be written to " +
           name + "; choose two names.\n";
  };
  const std::vector<LinkCase> cases = {
      {{"link", "x.dat"}, both("x.dat")},
      {{"x.dat", "chain"}, both("chain")},
      {{"link", "traj.dat"}, ""},
  };
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(c.names[0] + " " + c.names[1]);
    ScratchDir folder;
    folder.write("photons.txt", kFivePhotons);
    fs::create_symlink("x.dat", folder / "link");
    fs::create_symlink("link", folder / "chain");
    std::vector<std::string> arguments = {"-d", "50", "-t", "10", "photons.txt"};
    arguments.insert(arguments.end(), c.names.begin(), c.names.end());
    const ProcessResult result = run_pelmora(arguments, folder.path());
    EXPECT_TRUE(fs::is_symlink(folder / "link"));
    if (!c.refusal.empty()) {
      EXPECT_EQ(result.status, 1);
      EXPECT_TRUE(result.standard_error.ends_with(c.refusal)) << result.standard_error;
      EXPECT_EQ(entries(folder.path()), (std::set<std::string>{"photons.txt", "link", "chain"}));
    } else {
      EXPECT_EQ(result.status, 0) << result.standard_error;
      EXPECT_EQ(line_count(folder.read("x.dat")), 10u * 50u);
      EXPECT_EQ(entries(folder.path()),
                (std::set<std::string>{"photons.txt", "link", "chain", "x.dat", "traj.dat"}));
    }
  }
}

// pelmora-bursts writes results.h5 through HDF5, which builds it in memory;
// a write that fails (a file-size limit, a full disk) must end the run with
// the message and status 1, keep the earlier file and leave no temporary
// behind, as every other result does.  The measurement, a burst table and
// two shares of a scan are shared by the cases.
class BurstsResultFaults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    inputs_ = std::make_unique<ScratchDir>();
    // The program, then its arguments.
    for (const std::vector<std::string>& run : std::vector<std::vector<std::string>>{
             {"simulate_measurement", "--duration", "10", "--type", "usALEX", "--burst-rate", "5",
              "--burst-size", "240", "-D", "1", "--seed", "5", "m.h5"},
             {"pelmora-bursts", "search", "m.h5", "-o", "bursts.csv", "-q"},
             {"pelmora-bursts", "scan", "m.h5", "--bursts", "bursts.csv", "-n", "5", "-d", "50",
              "-q", "--shard", "1/2", "--loglik", "s1.csv"},
             {"pelmora-bursts", "scan", "m.h5", "--bursts", "bursts.csv", "-n", "5", "-d", "50",
              "-q", "--shard", "2/2", "--loglik", "s2.csv"}}) {
      const ProcessResult result =
          run_program(beside(run[0]), std::vector<std::string>(run.begin() + 1, run.end()),
                      inputs_->path(), {"PELMORA_THREADS=2"});
      ASSERT_EQ(result.status, 0) << result.standard_error;
    }
  }
  static void TearDownTestSuite() { inputs_.reset(); }

  static std::string beside(const std::string& name) {
    return (fs::path(PELMORA_BINARY).parent_path() / name).string();
  }
  static std::string input(const std::string& name) { return (inputs_->path() / name).string(); }

  struct Run {
    const char* name;
    std::vector<std::string> arguments;  // before -o
  };
  static std::vector<Run> runs() {
    const std::vector<std::string> scan = {"scan", "--bursts", input("bursts.csv"), "-n", "5", "-d",
                                           "50",   "-q",       input("m.h5")};
    std::vector<std::string> chain = scan;
    chain.insert(chain.end(), {"--model", "chain:4:6:2"});
    return {{"scan", scan},
            {"scan of a chain's rms", chain},
            {"combine", {"combine", input("s1.csv"), input("s2.csv"), "-q"}}};
  }

  // Runs pelmora-bursts through bash after `shell_setup`, writing to `output`
  // in `folder`, where a file of that name holds "old".
  static void expect_refused_write(const Run& run, const ScratchDir& folder,
                                   const std::string& shell_setup, const std::string& output) {
    write_file(folder.path() / output, "old\n");
    const std::set<std::string> before = entries(folder.path());
    std::vector<std::string> arguments = {"-c", shell_setup + " exec \"$0\" \"$@\"",
                                          beside("pelmora-bursts")};
    arguments.insert(arguments.end(), run.arguments.begin(), run.arguments.end());
    arguments.insert(arguments.end(), {"-o", output});
    const ProcessResult result =
        run_program("/bin/bash", arguments, folder.path(), {"PELMORA_THREADS=2"});
    EXPECT_EQ(result.status, 1) << result.standard_error;
    EXPECT_TRUE(
        result.standard_error.ends_with("\n\nERROR: Could not write to file " + output + "\n"))
        << result.standard_error;
    EXPECT_EQ(read_file(folder.path() / output), "old\n");
    EXPECT_EQ(entries(folder.path()), before);
  }

 private:
  static std::unique_ptr<ScratchDir> inputs_;
};

std::unique_ptr<ScratchDir> BurstsResultFaults::inputs_;

TEST_F(BurstsResultFaults, FileSizeLimit) {
  for (const Run& run : runs()) {
    SCOPED_TRACE(run.name);
    ScratchDir folder;
    // results.h5 is some 30 kB here.
    expect_refused_write(run, folder, "ulimit -f 10;", "r.h5");
  }
}

// Every output a command writes, compared with every input it reads (the
// measurement, the burst table, the model's potential table, the shares,
// photon files) directly and through a symbolic link, and with the other
// outputs: a clash is refused with status 1, naming both, before anything
// is read or written.
TEST_F(BurstsResultFaults, NameClashesAreRefusedBeforeAnything) {
  ScratchDir folder;
  for (const char* name : {"m.h5", "bursts.csv", "s1.csv", "s2.csv"}) {
    fs::copy_file(input(name), folder / name);
  }
  folder.write("pmf.txt", "1 1\n2 1\n3 1\n");
  folder.write("photons.txt", kFivePhotons);
  const std::string line = split_lines(folder.read("bursts.csv")).at(1);
  const std::string first_burst = line.substr(0, line.find(','));
  std::map<std::string, std::string> contents;
  for (const std::string& name : entries(folder.path())) contents[name] = folder.read(name);

  struct Command {
    std::vector<std::string> arguments;
    std::vector<std::string> outputs;  // the options naming an output
    std::vector<std::string> inputs;
  };
  const std::vector<std::string> joint = {"--loglik", "--joint", "-o", "--summary", "--grid"};
  const std::vector<Command> commands = {
      {{"search", "m.h5"}, {"-o"}, {"m.h5"}},
      {{"export", "m.h5", "--bursts", "bursts.csv", "--burst", first_burst},
       {"-o"},
       {"m.h5", "bursts.csv"}},
      {{"scan", "m.h5", "--bursts", "bursts.csv", "--model", "pmf:pmf.txt", "-n", "2"},
       joint,
       {"m.h5", "bursts.csv", "pmf.txt"}},
      {{"scan", "photons.txt", "--background", "off", "-n", "2"}, {"--loglik"}, {"photons.txt"}},
      {{"combine", "s1.csv", "s2.csv"}, joint, {"s1.csv", "s2.csv"}},
  };
  const auto expect_refused = [&](const std::vector<std::string>& arguments, const char* says) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const ProcessResult result = run_program(beside("pelmora-bursts"), arguments, folder.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.standard_error.find(says), std::string::npos) << result.standard_error;
    for (const auto& [name, text] : contents) EXPECT_TRUE(folder.read(name) == text) << name;
    std::set<std::string> now = entries(folder.path());
    now.erase("link");
    EXPECT_EQ(now.size(), contents.size());
  };
  for (const Command& command : commands) {
    for (const std::string& option : command.outputs) {
      for (const std::string& input : command.inputs) {
        std::error_code none;
        fs::remove(folder / "link", none);
        fs::create_symlink(input, folder / "link");
        for (const std::string& name : {input, std::string("link")}) {
          std::vector<std::string> arguments = command.arguments;
          arguments.insert(arguments.end(), {option, name});
          // A scan writes nothing without one of the first four outputs.
          if (option == "--grid") arguments.insert(arguments.end(), {"--summary", "new.json"});
          const std::string says =
              "Output file " + name + " (" + option + ") is the input file " + input + " (";
          expect_refused(arguments, says.c_str());
        }
      }
    }
  }
  // Two outputs on one file, directly and through a link that leads nowhere
  // yet.
  std::error_code none;
  fs::remove(folder / "link", none);
  fs::create_symlink("new.csv", folder / "link");
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {"combine", "s1.csv", "s2.csv", "--grid", "new.csv", "-o", "new.csv"},
           {"combine", "s1.csv", "s2.csv", "--loglik", "new.csv", "--summary", "link"}}) {
    expect_refused(arguments, "Two results would be written to one file: new.csv (");
  }
}

// A file-size limit on each kind of output other than results.h5: the
// burst table, an exported burst, the log L and the summary.
TEST_F(BurstsResultFaults, FileSizeLimitOnEveryOutput) {
  const std::vector<std::string> shares = {"combine", input("s1.csv"), input("s2.csv"), "-q"};
  ScratchDir folder;
  // One burst that spans the whole measurement: thousands of photons.
  folder.write("whole.csv", "burst,t_start_s,t_stop_s\n0,0.0,10.0\n");
  struct Case {
    std::vector<std::string> arguments;
    std::string option;
  };
  std::vector<Case> cases = {
      {{"search", input("m.h5"), "-q"}, "-o"},
      {{"export", input("m.h5"), "--bursts", (folder / "whole.csv").string(), "--burst", "0"},
       "-o"},
      {shares, "--loglik"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0] + " " + c.option);
    ScratchDir out;
    write_file(out.path() / "out.txt", "old\n");
    std::vector<std::string> arguments = {"-c", "ulimit -f 1; exec \"$0\" \"$@\"",
                                          beside("pelmora-bursts")};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    arguments.insert(arguments.end(), {c.option, "out.txt"});
    const ProcessResult result = run_program("/bin/bash", arguments, out.path());
    EXPECT_EQ(result.status, 1) << result.standard_error;
    EXPECT_NE(result.standard_error.find("ERROR: Could not write to file out.txt"),
              std::string::npos)
        << result.standard_error;
    EXPECT_EQ(read_file(out.path() / "out.txt"), "old\n");
    EXPECT_EQ(entries(out.path()), (std::set<std::string>{"out.txt"}));
  }
}

// A small file system of its own, nearly full: only root may mount one.
TEST_F(BurstsResultFaults, FullFileSystem) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  for (const Run& run : runs()) {
    SCOPED_TRACE(run.name);
    ScratchDir folder;
    if (mount("pelmora-test", folder.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
              "size=64k,mode=0700") != 0) {
      GTEST_SKIP() << "no tmpfs could be mounted here";
    }
    const std::unique_ptr<ScratchDir, void (*)(ScratchDir*)> unmount(
        &folder, [](ScratchDir* mounted) { umount2(mounted->path().c_str(), MNT_DETACH); });
    // 8 kB left: enough for the old file, not for the new one.
    write_file(folder.path() / "filler", std::string(56 * 1024, 'x'));
    expect_refused_write(run, folder, "", "r.h5");
  }
}

}  // namespace
}  // namespace pelmora::testing
