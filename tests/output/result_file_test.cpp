// Replacing a result: permissions, symbolic links and abandoned writing.
// (Write failures and signals: tests/e2e/result_file_faults_e2e_test.cpp.)
#include "output/result_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "base/error.h"
#include "support/caught_error.h"
#include "support/run_binary.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using testing::caught_error;
using testing::ScratchDir;

std::set<std::string> entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

mode_t permissions(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
  return status.st_mode & 07777;
}

void write_result(const std::string& path, const std::string& text, StopRequest stop = {}) {
  ResultFile file(path, std::move(stop));
  file.text(text);
  file.close();
}

TEST(ResultFileTest, NewFilesFollowTheUmaskReplacedOnesKeepTheirMode) {
  struct Case {
    std::optional<mode_t> existing;
    mode_t umask;
    mode_t expected;
  };
  const Case cases[] = {
      {std::nullopt, 022, 0644},
      {std::nullopt, 077, 0600},
      {0640, 022, 0640},
      {0604, 077, 0604},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "umask " << std::oct << c.umask);
    ScratchDir folder;
    const fs::path path = folder / "out.dat";
    if (c.existing) {
      folder.write("out.dat", "old");
      ASSERT_EQ(chmod(path.c_str(), *c.existing), 0);
    }
    const mode_t previous = umask(c.umask);
    write_result(path.string(), "new\n");
    umask(previous);
    EXPECT_EQ(folder.read("out.dat"), "new\n");
    EXPECT_EQ(permissions(path), c.expected);
    EXPECT_EQ(entries(folder.path()), std::set<std::string>{"out.dat"});
  }
}

// Through a chain of links, dangling or not, the file at its end is written
// and the links stay.
TEST(ResultFileTest, WritesThroughSymbolicLinks) {
  for (const bool dangling : {true, false}) {
    SCOPED_TRACE(dangling ? "dangling" : "to an existing file");
    ScratchDir folder;
    fs::create_directory(folder / "sub");
    if (!dangling) folder.write("sub/x.dat", "old");
    fs::create_symlink("sub/x.dat", folder / "first");
    fs::create_symlink(folder / "first", folder / "second");
    write_result((folder / "second").string(), "new\n");
    EXPECT_EQ(folder.read("sub/x.dat"), "new\n");
    EXPECT_TRUE(fs::is_symlink(folder / "first"));
    EXPECT_TRUE(fs::is_symlink(folder / "second"));
    EXPECT_EQ(entries(folder / "sub"), std::set<std::string>{"x.dat"});
  }
}

// Whenever the caller asks to stop (before any block, part way, before the
// rename), the earlier file stays whole and nothing else is left; a result
// not stopped is complete.  The same holds for a writer given up without
// close(), as when the computation behind it throws.
TEST(ResultFileTest, AbandonedResultLeavesTheEarlierFile) {
  const std::string block(3 << 20, 'x');
  int cancelled = 0;
  for (int stop_at = 1; stop_at <= 8; ++stop_at) {
    SCOPED_TRACE(stop_at);
    ScratchDir folder;
    folder.write("out.dat", "old");
    const std::string path = (folder / "out.dat").string();
    int asked = 0;
    const std::optional<Error> error = caught_error([&] {
      ResultFile file(path, [&] { return ++asked >= stop_at; });
      for (int i = 0; i < 3; ++i) file.text(block);
      file.character('\n');
      file.close();
    });
    if (error) {
      ++cancelled;
      EXPECT_EQ(error->kind(), ErrorKind::kCancelled);
      EXPECT_EQ(error->message(),
                "Writing to file " + path + " was stopped; the file is as it was before.");
      EXPECT_EQ(folder.read("out.dat"), "old");
    } else {
      EXPECT_EQ(folder.read("out.dat").size(), 3 * block.size() + 1);
    }
    EXPECT_EQ(entries(folder.path()), std::set<std::string>{"out.dat"});
  }
  EXPECT_GE(cancelled, 3);
  EXPECT_LT(cancelled, 8);

  ScratchDir folder;
  folder.write("out.dat", "old");
  {
    ResultFile file((folder / "out.dat").string());
    file.text(block);
  }
  EXPECT_EQ(folder.read("out.dat"), "old");
  EXPECT_EQ(entries(folder.path()), std::set<std::string>{"out.dat"});
}

}  // namespace
}  // namespace pelmora
