// The thread count and the instruction set (PELMORA_SIMD) change how the
// work is scheduled, never a byte of what the program prints or writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = 0;
  std::string standard_error;
  std::map<std::string, std::string> files;
};

Outcome run_with(const std::string& photons, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment) {
  ScratchDir folder;
  folder.write("photons.txt", photons);
  const ProcessResult result = run_pelmora(arguments, folder.path(), environment);
  Outcome outcome{result.status, result.standard_error, {}};
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.path())) {
    outcome.files[entry.path().filename().string()] = read_file(entry.path());
  }
  return outcome;
}

Outcome run_with_threads(const std::string& photons, const std::vector<std::string>& arguments,
                         int threads) {
  return run_with(photons, arguments, {"PELMORA_THREADS=" + std::to_string(threads)});
}

TEST(ThreadsEndToEnd, SameBytesForAnyThreadCount) {
  const ScratchDir generated;
  const ProcessResult made =
      run_program((fs::path(PELMORA_BINARY).parent_path() / "generate_photons").string(),
                  {"-n", "400", "-rate", "0.05", "-seed", "5", "photons.txt"}, generated.path());
  ASSERT_EQ(made.status, 0);
  const std::string photons = generated.read("photons.txt");

  const std::vector<std::vector<std::string>> cases = {
      {"-d", "50", "-t", "40", "photons.txt", "map.dat", "traj.dat"},
      {"-d", "60", "-t", "25", "-eps", "-xmgr", "photons.txt", "map.eps", "traj.agr"},
      {"-d", "50", "-n", "7", "photons.txt", "likelihood.dat"},
      {"-D", "300", "-min", "5", "-max", "8", "-d", "50", "-t", "9", "photons.txt", "edge.dat"},
  };
  for (const std::vector<std::string>& arguments : cases) {
    SCOPED_TRACE(arguments[arguments.size() - 2] + " ...");
    const Outcome single = run_with_threads(photons, arguments, 1);
    EXPECT_EQ(single.status, 0);
    EXPECT_GE(single.files.size(), 2u);
    for (int threads : {2, 4}) {
      const Outcome several = run_with_threads(photons, arguments, threads);
      EXPECT_EQ(several.status, single.status) << threads;
      EXPECT_EQ(several.standard_error, single.standard_error) << threads;
      EXPECT_EQ(several.files, single.files) << threads;
    }
  }
}

// Scan mode steps several runs at once in vector lanes; every instruction
// set this processor has gives the scalar path's bytes (others are skipped).
TEST(ThreadsEndToEnd, SameBytesOnEveryInstructionSet) {
  const ScratchDir generated;
  const ProcessResult made =
      run_program((fs::path(PELMORA_BINARY).parent_path() / "generate_photons").string(),
                  {"-n", "300", "-rate", "0.05", "-seed", "9", "photons.txt"}, generated.path());
  ASSERT_EQ(made.status, 0);
  const std::string photons = generated.read("photons.txt");
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"-d", "50", "-n", "9", "photons.txt", "l.dat"},
                                             {"-d", "50", "-t", "20", "photons.txt", "m.dat"}}) {
    const Outcome scalar = run_with(photons, arguments, {"PELMORA_SIMD=scalar"});
    ASSERT_EQ(scalar.status, 0) << scalar.standard_error;
    for (const char* path : {"sse2", "avx2", "avx512"}) {
      for (const char* threads : {"1", "2"}) {
        const Outcome lanes = run_with(
            photons, arguments,
            {std::string("PELMORA_SIMD=") + path, std::string("PELMORA_THREADS=") + threads});
        if (lanes.status == 1 && lanes.standard_error.find("does not have") != std::string::npos) {
          continue;  // not on this processor
        }
        EXPECT_EQ(lanes.status, 0) << path;
        EXPECT_EQ(lanes.standard_error, scalar.standard_error) << path << ", " << threads;
        EXPECT_EQ(lanes.files, scalar.files) << path << ", " << threads;
      }
    }
  }
}

TEST(ThreadsEndToEnd, InvalidThreadCountIsRefused) {
  ScratchDir folder;
  const ProcessResult result =
      run_pelmora({"photons.txt"}, folder.path(), {"PELMORA_THREADS=zero"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(
      result.standard_error,
      banner_text() +
          "\n\nERROR: PELMORA_THREADS must be a whole number of at least 1 (it is 'zero').\n");
  const ProcessResult simd = run_pelmora({"photons.txt"}, folder.path(), {"PELMORA_SIMD=avx3"});
  EXPECT_EQ(simd.status, 1);
  EXPECT_EQ(simd.standard_error,
            banner_text() +
                "\n\nERROR: PELMORA_SIMD must be scalar, sse2, avx2 or avx512 (it is 'avx3').\n");
}

}  // namespace
}  // namespace pelmora::testing
