#include "pelmora/machine_options.h"

#include <gtest/gtest.h>

namespace pelmora {
namespace {

TEST(MachineOptions, ThreadCountFromTheEnvironmentOrTheCores) {
  EXPECT_EQ(settle_thread_count(nullptr, 8).threads, 8);
  EXPECT_EQ(settle_thread_count(nullptr, 0).threads, 1);  // cores unknown
  EXPECT_EQ(settle_thread_count(nullptr, 1000).threads, kMaxThreads);
  EXPECT_EQ(settle_thread_count("1", 8).threads, 1);
  EXPECT_EQ(settle_thread_count("3", 2).threads, 3);
  EXPECT_EQ(settle_thread_count("99999999999999", 2).threads, kMaxThreads);
  EXPECT_EQ(settle_thread_count("9999999999999999999999999", 2).threads, kMaxThreads);
  EXPECT_EQ(settle_thread_count("0002", 2).threads, 2);
  for (const char* invalid : {"", "0", "000", "-2", "two", "2x", " 2", "1e3"}) {
    const ThreadCountOutcome outcome = settle_thread_count(invalid, 2);
    ASSERT_TRUE(outcome.error) << invalid;
    EXPECT_EQ(*outcome.error, std::string("PELMORA_THREADS must be a whole number of at "
                                          "least 1 (it is '") +
                                  invalid + "').");
  }
}

// Without PELMORA_SIMD the widest path the processor has; with it, the
// path named, refused when the processor lacks it or the name is unknown.
TEST(MachineOptions, SimdPathFromTheEnvironmentOrTheProcessor) {
  const auto up_to_avx2 = [](SimdPath path) { return path != SimdPath::kAvx512; };
  const auto baseline = [](SimdPath path) {
    return path == SimdPath::kScalar || path == SimdPath::kSse2;
  };
  EXPECT_EQ(settle_simd_path(nullptr, up_to_avx2).path, SimdPath::kAvx2);
  EXPECT_EQ(settle_simd_path(nullptr, baseline).path, SimdPath::kSse2);
  EXPECT_EQ(settle_simd_path("scalar", baseline).path, SimdPath::kScalar);
  EXPECT_EQ(settle_simd_path("avx2", up_to_avx2).path, SimdPath::kAvx2);
  const SimdPathOutcome lacking = settle_simd_path("avx512", up_to_avx2);
  ASSERT_TRUE(lacking.error);
  EXPECT_EQ(*lacking.error, "PELMORA_SIMD asks for avx512, which this processor does not have.");
  for (const char* invalid : {"", "AVX2", "avx", "sse4", "avx2 "}) {
    const SimdPathOutcome outcome = settle_simd_path(invalid, up_to_avx2);
    ASSERT_TRUE(outcome.error) << invalid;
    EXPECT_EQ(*outcome.error,
              std::string("PELMORA_SIMD must be scalar, sse2, avx2 or avx512 (it is '") + invalid +
                  "').");
  }
}

TEST(MachineOptions, RowBudgetIsAQuarterOfMemoryUpToFourGiB) {
  constexpr std::size_t kGiB = std::size_t{1} << 30;
  EXPECT_EQ(row_storage_budget(8 * kGiB), 2 * kGiB);
  EXPECT_EQ(row_storage_budget(64 * kGiB), 4 * kGiB);
}

}  // namespace
}  // namespace pelmora
