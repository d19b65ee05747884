#include "cli/file_names.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/run_settings.h"
#include "support/run_binary.h"

namespace pelmora {
namespace {

RunSettings names(const char* in, const char* out, const char* traj, bool write_trajectory) {
  RunSettings settings;
  settings.infile = in;
  settings.outfile = out;
  settings.traj_file = traj;
  settings.write_trajectory = write_trajectory;
  return settings;
}

TEST(FileNames, RefusesRunsThatWouldOverwriteTheirInputOrLoseAResult) {
  const auto equal = [](const std::string& a, const std::string& b) { return a == b; };
  struct Case {
    RunSettings settings;
    const char* message;  // nullptr: accepted
  };
  const Case cases[] = {
      {names("in", "out", "traj", true), nullptr},
      {names("in", "in", " ", false), "Output file in is the input file in; choose another name."},
      {names("in", "out", "in", true),
       "Trajectory file in is the input file in; choose another name."},
      {names("in", "out", "out", true),
       "Distance distribution and average trajectory would both be written to out; "
       "choose two names."},
      {names("in", "out", "out", false), nullptr},  // scan mode ignores the trajectory name
  };
  for (const Case& c : cases) {
    const std::optional<std::string> error = conflicting_file_names(c.settings, equal);
    if (c.message == nullptr) {
      EXPECT_FALSE(error) << *error;
    } else {
      ASSERT_TRUE(error);
      EXPECT_EQ(*error, c.message);
    }
  }
}

TEST(FileNames, SameFileSeesThroughSpellings) {
  const testing::ScratchDir folder;
  folder.write("photons.txt", "x");
  const std::string file = (folder.path() / "photons.txt").string();
  const std::string dotted = (folder.path() / "." / "photons.txt").string();
  EXPECT_TRUE(same_file(file, dotted));
  EXPECT_TRUE(same_file((folder.path() / "new.dat").string(),
                        (folder.path() / "sub" / ".." / "new.dat").string()));
  EXPECT_FALSE(same_file(file, (folder.path() / "other.txt").string()));
}

// A result is written where its links lead, so the names are compared
// there: dangling links and chains of them included.
TEST(FileNames, SameFileFollowsSymbolicLinks) {
  namespace fs = std::filesystem;
  const testing::ScratchDir folder;
  folder.write("photons.txt", "x");
  fs::create_directory(folder / "sub");
  fs::create_symlink("x.dat", folder / "dangling");
  fs::create_symlink("dangling", folder / "chain");
  fs::create_symlink("../photons.txt", folder / "sub" / "input");
  fs::create_symlink("../x.dat", folder / "sub" / "up");
  fs::create_symlink("loop", folder / "loop");
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  const Case cases[] = {
      {"dangling", "x.dat", true},      {"chain", "x.dat", true},
      {"chain", "sub/up", true},        {"sub/input", "photons.txt", true},
      {"dangling", "sub/x.dat", false}, {"loop", "x.dat", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " " + c.b);
    EXPECT_EQ(same_file((folder / c.a).string(), (folder / c.b).string()), c.same);
  }
}

}  // namespace
}  // namespace pelmora
