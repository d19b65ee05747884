#include "numeric/convolve.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numeric/indexed_array.h"
#include "support/one_off_transforms.h"

namespace pelmora {
namespace {

constexpr int kLength = 64;

// The transforms use 6.28318530717959 for 2 pi; the shortfall costs a few
// digits, so results are compared to about 1e-13 relative, not to machine
// precision.
constexpr double kTolerance = 1e-12;

struct Convolution {
  DVector data = dvector(1, kLength);
  DVector response = dvector(1, kLength);
  DVector ans = dvector(1, 2 * kLength);
  DVector spectrum = dvector(1, 2 * kLength);

  Convolution() {
    for (int j = 1; j <= kLength; ++j) {
      data[j] = std::sin(0.7 * j) + 0.02 * j;
      response[j] = 0.0;
    }
  }
  void run() {
    testing::convolve(data.data(), kLength, response.data(), ans.data(), spectrum.data());
  }
};

// k is 1-based and may step one past either end.
int wrap(int k) {
  return (k + kLength - 1) % kLength + 1;
}

TEST(Convolve, SingleLagResponsesShiftCircularly) {
  struct Case {
    int response_index;
    int shift;  // ans[k] = data[k - shift]
  };
  for (const Case c : {Case{1, 0}, Case{2, 1}, Case{kLength, -1}, Case{kLength / 2 + 1, 32}}) {
    Convolution conv;
    conv.response[c.response_index] = 1.0;
    conv.run();
    for (int k = 1; k <= kLength; ++k)
      EXPECT_NEAR(conv.ans[k], conv.data[wrap(k - c.shift)], kTolerance)
          << "response at " << c.response_index << ", k = " << k;
  }
}

TEST(Convolve, MatchesDirectCircularSumAndKeepsInputs) {
  Convolution conv;
  for (int m = 0; m <= kLength / 2; ++m) {
    conv.response[m + 1] = std::exp(-0.05 * m * m);
    if (m > 0) conv.response[kLength + 1 - m] = conv.response[m + 1];
  }
  conv.response[3] += 0.5;  // make it asymmetric, so that the direction of the lag matters
  const DVector data_before = [&] {
    DVector copy = dvector(1, kLength);
    for (int j = 1; j <= kLength; ++j) copy[j] = conv.data[j];
    return copy;
  }();
  const double response_at_3 = conv.response[3];

  conv.run();

  for (int k = 1; k <= kLength; ++k) {
    double expected = 0.0;
    for (int j = 1; j <= kLength; ++j)
      expected += conv.data[j] * conv.response[((k - j) % kLength + kLength) % kLength + 1];
    EXPECT_NEAR(conv.ans[k], expected, 4 * kTolerance) << k;
  }
  for (int j = 1; j <= kLength; ++j) EXPECT_EQ(conv.data[j], data_before[j]);
  EXPECT_EQ(conv.response[3], response_at_3);
}

}  // namespace
}  // namespace pelmora
