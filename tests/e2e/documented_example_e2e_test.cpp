// The numbers that docs/pelmora.md and the man page quote from the shipped
// example are what the program gives for it: a change of the results shows up
// here instead of leaving the documents behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

namespace fs = std::filesystem;

bool is_number(const std::string& token) {
  char* end = nullptr;
  std::strtod(token.c_str(), &end);
  return !token.empty() && *end == '\0';
}

// A line of two or more numbers and nothing else: a quoted result line or
// a photon record.  Scan-mode console lines ("Run ...") count as quotes too.
bool quotes_a_result(const std::string& line) {
  if (line.starts_with("Run ")) return true;
  std::istringstream words(line);
  std::string token;
  int numbers = 0;
  while (words >> token) {
    if (!is_number(token)) return false;
    ++numbers;
  }
  return numbers >= 2;
}

// The documents' code blocks are indented by four blanks.
std::vector<std::string> readme_quotes(const std::string& text) {
  std::vector<std::string> quotes;
  for (const std::string& line : split_lines(text)) {
    if (line.starts_with("    ") && quotes_a_result(line.substr(4)))
      quotes.push_back(line.substr(4));
  }
  return quotes;
}

// The man page's examples stand between .nf and .fi, with "\-" for "-".
std::vector<std::string> man_page_quotes(const std::string& text) {
  std::vector<std::string> quotes;
  bool verbatim = false;
  for (std::string line : split_lines(text)) {
    if (line == ".nf" || line == ".fi") {
      verbatim = line == ".nf";
      continue;
    }
    for (std::size_t at = line.find("\\-"); at != std::string::npos; at = line.find("\\-", at)) {
      line.erase(at, 1);
    }
    if (verbatim && quotes_a_result(line)) quotes.push_back(line);
  }
  return quotes;
}

TEST(DocumentedExample, QuotedNumbersAreTheExamplesResults) {
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELMORA_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(PELMORA_UNDER_ASAN)
  GTEST_SKIP() << "the documents' numbers are the same in every build; instrumented, the "
                  "example's scan alone takes half a minute";
#endif
  ScratchDir folder;
  fs::copy_file(fs::path(PELMORA_SOURCE_DIR) / "examples" / "photons.txt", folder / "photons.txt");
  const std::vector<std::vector<std::string>> runs = {
      {"photons.txt", "map.dat", "traj.dat"},
      {"-s", "photons.txt", "/dev/null", "-xmgr", "traj.agr"},
      {"-n", "10", "photons.txt", "pd.dat"},
  };
  std::unordered_set<std::string> produced;
  for (const std::vector<std::string>& arguments : runs) {
    const ProcessResult result = run_pelmora(arguments, folder.path());
    ASSERT_EQ(result.status, 0) << result.standard_error;
    for (const std::string& line : split_lines(result.standard_error)) produced.insert(line);
  }
  // The documents quote the beginnings of the files.
  for (const char* file : {"photons.txt", "map.dat", "traj.dat", "traj.agr", "pd.dat"}) {
    const std::string beginning = folder.read(file).substr(0, 1 << 20);
    for (std::string& line : split_lines(beginning)) produced.insert(std::move(line));
  }

  const fs::path source(PELMORA_SOURCE_DIR);
  // The reference of the program quotes the example's results.
  const std::vector<std::string> readme = readme_quotes(read_file(source / "docs" / "pelmora.md"));
  const std::vector<std::string> man_page = man_page_quotes(read_file(source / "pelmora.1.in"));
  // Every kind of result is quoted: a sure sign the quotes were found.
  EXPECT_GE(readme.size(), 15u);
  EXPECT_GE(man_page.size(), 8u);
  for (const std::vector<std::string>* quotes : {&readme, &man_page}) {
    for (const std::string& quote : *quotes) {
      EXPECT_TRUE(produced.contains(quote))
          << (quotes == &readme ? "docs/pelmora.md" : "pelmora.1.in")
          << " quotes a line the example does not give: " << quote;
    }
  }
}

}  // namespace
}  // namespace pelmora::testing
