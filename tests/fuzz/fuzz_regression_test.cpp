// Replays every stored fuzz input (the seed corpora and each input that once
// broke an invariant) through the checks of the fuzz targets, so that a
// finding stays fixed without running the fuzzer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "fuzz/fuzz_harness.h"
#include "support/run_binary.h"

namespace pelmora::fuzzing {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> stored_inputs(const char* target) {
  std::vector<fs::path> inputs;
  const fs::path folder = fs::path(PELMORA_SOURCE_DIR) / "tests" / "fuzz" / target;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

template <typename Exercise>
void replay(const char* target, Exercise exercise) {
  const std::vector<fs::path> inputs = stored_inputs(target);
  ASSERT_FALSE(inputs.empty()) << "no stored inputs for " << target;
  for (const fs::path& path : inputs) {
    const std::string bytes = pelmora::testing::read_file(path);
    const std::string findings =
        exercise(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    EXPECT_EQ(findings, "") << path.filename();
  }
}

TEST(FuzzRegression, CommandLineInputs) {
  replay("command_line", exercise_command_line);
}

TEST(FuzzRegression, PhotonFileInputs) {
  replay("photon_parser", exercise_photon_parser);
}

TEST(FuzzRegression, PhotonHdf5Inputs) {
  replay("photon_hdf5", exercise_photon_hdf5);
}

TEST(FuzzRegression, BurstTableInputs) {
  replay("burst_table", exercise_burst_table);
}

TEST(FuzzRegression, PotentialTableInputs) {
  replay("pmf_table", exercise_pmf_table);
}

TEST(FuzzRegression, ShareInputs) {
  replay("share", exercise_share);
}

TEST(FuzzRegression, ModelTextInputs) {
  replay("model_text", exercise_model_text);
}

}  // namespace
}  // namespace pelmora::fuzzing
