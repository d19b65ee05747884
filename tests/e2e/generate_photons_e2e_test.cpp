// The photon-file generator: deterministic, and its files read back cleanly.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "input/photon_parser.h"
#include "state/photon_list.h"
#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

const std::string kGenerator =
    (std::filesystem::path(PELMORA_BINARY).parent_path() / "generate_photons").string();

std::string generate(const ScratchDir& folder, std::vector<std::string> arguments) {
  arguments.push_back("out.txt");
  const ProcessResult result = run_program(kGenerator, arguments, folder.path());
  EXPECT_EQ(result.status, 0) << result.standard_error;
  return folder.read("out.txt");
}

TEST(GeneratePhotons, SameSeedSameFileAndStrictlyIncreasingFloatTimes) {
  ScratchDir folder;
  // A high rate at a late start makes many arrivals round to the same float.
  const std::vector<std::string> options = {"-n",  "5000",   "-rate", "50",
                                            "-t0", "200000", "-seed", "9"};
  const std::string text = generate(folder, options);
  EXPECT_EQ(generate(folder, options), text);
  std::vector<std::string> other = options;
  other.back() = "10";
  EXPECT_NE(generate(folder, other), text);

  PhotonList photons;
  const PhotonParseOutcome outcome = parse_photon_text(text, photons);
  EXPECT_FALSE(outcome.error);
  EXPECT_TRUE(outcome.warnings.empty());
  ASSERT_EQ(photons.photon_count, 5000);
  EXPECT_GT(photons.donor_count, 0);
  EXPECT_GT(photons.acceptor_count, 0);
  for (int i = 1; i < photons.photon_count; ++i) {
    ASSERT_LT(photons.photon_times[i - 1], photons.photon_times[i]) << i;
  }
  EXPECT_EQ(split_lines(text).back(), "-99999 0 0 0 0 0 0 0");
}

TEST(GeneratePhotons, ShippedExampleIsReproducible) {
  ScratchDir folder;
  const std::string text =
      generate(folder, {"-n", "3000", "-rate", "0.05", "-D", "1", "-R", "6.5", "-r0", "6.5", "-min",
                        "2", "-max", "11", "-t0", "0", "-seed", "20240601"});
  EXPECT_EQ(text, read_file(std::filesystem::path(PELMORA_SOURCE_DIR) / "examples/photons.txt"));
}

TEST(GeneratePhotons, BadOptionsPrintUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {"-x", "1"}, {"-n", "-3"}, {"-min", "5", "-max", "1"}, {"-n"}};
  for (const std::vector<std::string>& arguments : cases) {
    SCOPED_TRACE(arguments.front());
    ScratchDir folder;
    const ProcessResult result = run_program(kGenerator, arguments, folder.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.standard_error.find("usage: generate_photons"), std::string::npos);
  }
}

}  // namespace
}  // namespace pelmora::testing
