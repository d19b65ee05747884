#include "numeric/indexed_array.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <limits>

#include "support/caught_error.h"

namespace pelmora {
namespace {

using testing::exit_on_error;

TEST(IndexedArray, EmptyRangeYieldsOneElement) {
  DVector v = dvector(0, -1);
  EXPECT_EQ(v.size(), 1u);
  EXPECT_EQ(v.lo(), 0);
  EXPECT_EQ(v.hi(), 0);
  v[0] = 3.5;
  EXPECT_EQ(v[0], 3.5);

  IVector w = ivector(5, 2);
  EXPECT_EQ(w.size(), 1u);
  EXPECT_TRUE(w.contains(5));
  EXPECT_FALSE(w.contains(6));
}

TEST(IndexedArray, UnitOffsetVectorIsAddressedByItsOwnIndices) {
  DVector v = dvector(1, 2048);
  EXPECT_EQ(v.size(), 2048u);
  EXPECT_FALSE(v.contains(0));
  EXPECT_TRUE(v.contains(1));
  EXPECT_TRUE(v.contains(2048));
  EXPECT_FALSE(v.contains(2049));
  for (int i = 1; i <= 2048; ++i) v[i] = i;
  EXPECT_EQ(v.data()[0], 1.0);
  EXPECT_EQ(v.data()[2047], 2048.0);
}

TEST(IndexedArray, MatrixRowsAreSeparateZeroBasedVectors) {
  DMatrix m = dmatrix(0, 4, 0, 9);
  EXPECT_EQ(m.row_count(), 5u);
  EXPECT_EQ(m.row_length(), 10u);
  for (int i = 0; i <= 4; ++i)
    for (int j = 0; j <= 9; ++j) m[i][j] = 10 * i + j;
  m[4][9] = -1;
  EXPECT_EQ(m[0][0], 0.0);
  EXPECT_EQ(m[3][9], 39.0);
  const std::span<double> row = m.row_span(2);
  ASSERT_EQ(row.size(), 10u);
  EXPECT_EQ(row[0], 20.0);
  EXPECT_EQ(row[9], 29.0);

  DMatrix photon_rows = dmatrix(0, 3 + 1, 0, 150 + 1);
  EXPECT_EQ(photon_rows.row_count(), 5u);
  EXPECT_EQ(photon_rows.row_length(), 152u);
}

TEST(IndexedArray, MatrixWithOffsetColumns) {
  DMatrix m = dmatrix(-2, 0, 3, 5);
  m[-2][3] = 1;
  m[0][5] = 2;
  EXPECT_EQ(m.row(-2)[0], 1.0);
  EXPECT_EQ(m.row(0)[2], 2.0);
}

// Caps the address space of the (forked) death-test child so that large
// requests fail instead of being overcommitted.
void limit_address_space(rlim_t bytes) {
  const rlimit limit{bytes, bytes};
  setrlimit(RLIMIT_AS, &limit);
}

constexpr rlim_t kTwoGiB = rlim_t{2} << 30;

TEST(IndexedArrayDeathTest, ExhaustedMemoryEndsTheRun) {
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELMORA_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(PELMORA_UNDER_ASAN)
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of shadow memory and aborts on a failed "
                  "allocation, so an address-space cap cannot produce the allocation failure";
#endif
  EXPECT_EXIT(exit_on_error([] {
                limit_address_space(kTwoGiB);
                dvector(0, 400'000'000);
              }),
              ::testing::ExitedWithCode(1), "^allocation failure in dvector\\(\\)$");
  EXPECT_EXIT(exit_on_error([] {
                limit_address_space(kTwoGiB);
                ivector(-5, 800'000'000);
              }),
              ::testing::ExitedWithCode(1), "^allocation failure in ivector\\(\\)$");
  // Rows of 800 MB: the third does not fit.
  EXPECT_EXIT(exit_on_error([] {
                limit_address_space(kTwoGiB);
                dmatrix(0, 9, 0, 100'000'000 - 1);
              }),
              ::testing::ExitedWithCode(1), "^allocation failure 2 in dmatrix\\(\\)$");
}

}  // namespace
}  // namespace pelmora
