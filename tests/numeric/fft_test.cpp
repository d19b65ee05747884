#include "numeric/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

#include "numeric/indexed_array.h"
#include "support/one_off_transforms.h"

namespace pelmora {
namespace {

using testing::fft_complex;
using testing::fft_two_real;

// A deterministic, irregular real sequence.
double sample(int j) {
  return std::sin(0.37 * j * j + 1.3) + 0.25 * (j % 5);
}

DVector unit_vector(int length, double (*value)(int)) {
  DVector v = dvector(1, length);
  for (int i = 1; i <= length; ++i) v[i] = value(i - 1);
  return v;
}

// F_k = sum_j x_j exp(sign 2 pi i jk/N), evaluated directly.
std::vector<std::complex<double>> direct_transform(const std::vector<std::complex<double>>& x,
                                                   int sign) {
  const std::size_t count = x.size();
  std::vector<std::complex<double>> f(count);
  for (std::size_t k = 0; k < count; ++k) {
    for (std::size_t j = 0; j < count; ++j) {
      const double angle = sign * 2 * std::numbers::pi * static_cast<double>((j * k) % count) /
                           static_cast<double>(count);
      f[k] += x[j] * std::complex<double>(std::cos(angle), std::sin(angle));
    }
  }
  return f;
}

TEST(FftComplex, MatchesDirectTransformInBothDirections) {
  for (const int nn : {1, 2, 8, 64}) {
    for (const int isign : {1, -1}) {
      DVector data = dvector(1, 2 * nn);
      std::vector<std::complex<double>> x(static_cast<std::size_t>(nn));
      for (int k = 0; k < nn; ++k) {
        x[k] = {sample(2 * k), sample(2 * k + 1)};
        data[2 * k + 1] = x[k].real();
        data[2 * k + 2] = x[k].imag();
      }
      fft_complex(data.data(), nn, isign);
      const auto expected = direct_transform(x, isign);
      for (int k = 0; k < nn; ++k) {
        EXPECT_NEAR(data[2 * k + 1], expected[k].real(), 1e-12) << nn << " " << isign << " " << k;
        EXPECT_NEAR(data[2 * k + 2], expected[k].imag(), 1e-12) << nn << " " << isign << " " << k;
      }
    }
  }
}

TEST(FftReal, ProducesPackedSpectrum) {
  for (const int nn : {2, 4, 32}) {
    const int count = 2 * nn;
    DVector data = unit_vector(count, sample);
    std::vector<std::complex<double>> x(static_cast<std::size_t>(count));
    for (int j = 0; j < count; ++j) x[j] = data[j + 1];
    fft_real(data.data(), nn, 1);
    const auto f = direct_transform(x, 1);
    EXPECT_NEAR(data[1], f[0].real(), 1e-12);
    EXPECT_NEAR(data[2], f[nn].real(), 1e-12);  // the Nyquist term
    for (int k = 1; k < nn; ++k) {
      EXPECT_NEAR(data[2 * k + 1], f[k].real(), 1e-12) << nn << " " << k;
      EXPECT_NEAR(data[2 * k + 2], f[k].imag(), 1e-12) << nn << " " << k;
    }
  }
}

TEST(Fft, ForwardThenInverseScalesByHalfTheRealLength) {
  for (const auto transform : {fft_complex, fft_real}) {
    for (const int nn : {2, 16, 1024}) {
      DVector data = unit_vector(2 * nn, sample);
      transform(data.data(), nn, 1);
      transform(data.data(), nn, -1);
      for (int i = 1; i <= 2 * nn; ++i) EXPECT_NEAR(data[i], nn * sample(i - 1), 1e-12 * nn) << i;
    }
  }
}

TEST(FftReal, ConstantAndCosineInputs) {
  const int nn = 64;
  const int count = 2 * nn;

  DVector ones = dvector(1, count);
  for (int i = 1; i <= count; ++i) ones[i] = 1.0;
  fft_real(ones.data(), nn, 1);
  EXPECT_NEAR(ones[1], count, 1e-12);
  for (int i = 2; i <= count; ++i) EXPECT_NEAR(ones[i], 0.0, 1e-12) << i;

  DVector cosine = dvector(1, count);
  for (int j = 0; j < count; ++j) cosine[j + 1] = std::cos(2 * std::numbers::pi * j / count);
  fft_real(cosine.data(), nn, 1);
  for (int i = 1; i <= count; ++i) EXPECT_NEAR(cosine[i], i == 3 ? count / 2.0 : 0.0, 1e-12) << i;
}

TEST(FftTwoReal, MatchesSeparateComplexTransforms) {
  const int n = 32;
  const DVector data1 = unit_vector(n, sample);
  const DVector data2 = unit_vector(n, [](int j) { return std::cos(0.9 * j) - 0.1 * j; });
  DVector fft1 = dvector(1, 2 * n);
  DVector fft2 = dvector(1, 2 * n);
  const double unwritten = std::numeric_limits<double>::quiet_NaN();
  for (int i = 1; i <= 2 * n; ++i) fft1[i] = fft2[i] = unwritten;

  fft_two_real(data1.data(), data2.data(), fft1.data(), fft2.data(), n);

  for (const auto& [input, output] : {std::pair{&data1, &fft1}, std::pair{&data2, &fft2}}) {
    DVector expected = dvector(1, 2 * n);
    for (int j = 1; j <= n; ++j) {
      expected[2 * j - 1] = (*input)[j];
      expected[2 * j] = 0.0;
    }
    fft_complex(expected.data(), n, 1);
    for (int i = 1; i <= 2 * n; ++i) EXPECT_NEAR((*output)[i], expected[i], 1e-12) << i;
  }
  // The inputs are left alone.
  for (int j = 1; j <= n; ++j) {
    EXPECT_EQ(data1[j], sample(j - 1));
    EXPECT_EQ(data2[j], std::cos(0.9 * (j - 1)) - 0.1 * (j - 1));
  }
}

}  // namespace
}  // namespace pelmora
