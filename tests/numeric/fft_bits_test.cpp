// The fast transforms against the plain textbook loops, bit for bit.
//
// Every result of the system depends on the exact rounding of the transforms,
// so the tabulated, reordered and two-at-a-time code must reproduce the plain
// loops exactly: the same operands and operations for every butterfly.  The
// plain loops live here, written as the algorithm is described, with the
// twiddle recurrence advanced inside the butterfly loops.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "numeric/convolve.h"
#include "numeric/fft.h"
#include "numeric/unit_offset.h"
#include "support/one_off_transforms.h"

namespace pelmora {
namespace {

// ---- plain reference loops (1-based, as the algorithm is written) ----

void reference_fft_complex(double* first, int nn, int isign) {
  const UnitOffset<double> data(first);
  const int n = nn << 1;
  int j = 1;
  for (int i = 1; i < n; i += 2) {
    if (j > i) {
      std::swap(data[j], data[i]);
      std::swap(data[j + 1], data[i + 1]);
    }
    int m = n >> 1;
    while (m >= 2 && j > m) {
      j -= m;
      m >>= 1;
    }
    j += m;
  }
  int mmax = 2;
  while (n > mmax) {
    const int istep = mmax << 1;
    const double theta = 6.28318530717959 / (isign * mmax);
    double wtemp = std::sin(0.5 * theta);
    const double wpr = -2.0 * wtemp * wtemp;
    const double wpi = std::sin(theta);
    double wr = 1.0;
    double wi = 0.0;
    for (int m = 1; m < mmax; m += 2) {
      for (int i = m; i <= n; i += istep) {
        j = i + mmax;
        const double tempr = wr * data[j] - wi * data[j + 1];
        const double tempi = wr * data[j + 1] + wi * data[j];
        data[j] = data[i] - tempr;
        data[j + 1] = data[i + 1] - tempi;
        data[i] += tempr;
        data[i + 1] += tempi;
      }
      wr = (wtemp = wr) * wpr - wi * wpi + wr;
      wi = wi * wpr + wtemp * wpi + wi;
    }
    mmax = istep;
  }
}

void reference_fft_real(double* first, int nn, int isign) {
  const UnitOffset<double> data(first);
  const double c1 = 0.5;
  double c2;
  double theta = 3.141592653589793 / static_cast<double>(nn);
  if (isign == 1) {
    c2 = -0.5;
    reference_fft_complex(first, nn, 1);
  } else {
    c2 = 0.5;
    theta = -theta;
  }
  double wtemp = std::sin(0.5 * theta);
  const double wpr = -2.0 * wtemp * wtemp;
  const double wpi = std::sin(theta);
  double wr = 1.0 + wpr;
  double wi = wpi;
  const int n2p3 = 2 * nn + 3;
  for (int i = 2; i <= (nn >> 1); ++i) {
    const int i1 = i + i - 1;
    const int i2 = 1 + i1;
    const int i3 = n2p3 - i2;
    const int i4 = 1 + i3;
    const double h1r = c1 * (data[i1] + data[i3]);
    const double h1i = c1 * (data[i2] - data[i4]);
    const double h2r = -c2 * (data[i2] + data[i4]);
    const double h2i = c2 * (data[i1] - data[i3]);
    data[i1] = h1r + wr * h2r - wi * h2i;
    data[i2] = h1i + wr * h2i + wi * h2r;
    data[i3] = h1r - wr * h2r + wi * h2i;
    data[i4] = -h1i + wr * h2i + wi * h2r;
    wr = (wtemp = wr) * wpr - wi * wpi + wr;
    wi = wi * wpr + wtemp * wpi + wi;
  }
  const double d1 = data[1];
  if (isign == 1) {
    data[1] = d1 + data[2];
    data[2] = d1 - data[2];
  } else {
    data[1] = c1 * (d1 + data[2]);
    data[2] = c1 * (d1 - data[2]);
    reference_fft_complex(first, nn, -1);
  }
}

void reference_fft_two_real(const double* first1, const double* first2, double* out1, double* out2,
                            int n) {
  const UnitOffset<const double> data1(first1);
  const UnitOffset<const double> data2(first2);
  const UnitOffset<double> fft1(out1);
  const UnitOffset<double> fft2(out2);
  for (int j = 1; j <= n; ++j) {
    fft1[2 * j - 1] = data1[j];
    fft1[2 * j] = data2[j];
  }
  reference_fft_complex(out1, n, 1);
  fft2[1] = fft1[2];
  fft1[2] = fft2[2] = 0.0;
  for (int j = 3; j <= n + 1; j += 2) {
    const int p = 2 * n + 2 - j;
    const int q = 2 * n + 3 - j;
    const double x1 = fft1[j];
    const double y1 = fft1[j + 1];
    const double x2 = fft1[p];
    const double y2 = fft1[q];
    const double rep = 0.5 * (x1 + x2);
    const double rem = 0.5 * (x1 - x2);
    const double aip = 0.5 * (y1 + y2);
    const double aim = 0.5 * (y1 - y2);
    fft1[j] = rep;
    fft1[j + 1] = aim;
    fft1[p] = rep;
    fft1[q] = -aim;
    fft2[j] = aip;
    fft2[j + 1] = -rem;
    fft2[p] = aip;
    fft2[q] = rem;
  }
}

void reference_convolve(const double* data, int n, const double* response, double* ans_first) {
  std::vector<double> spectrum(2 * static_cast<std::size_t>(n));
  reference_fft_two_real(data, response, spectrum.data(), ans_first, n);
  const UnitOffset<const double> s(spectrum.data());
  const UnitOffset<double> ans(ans_first);
  const int h = n >> 1;
  for (int i = 2; i <= n + 2; i += 2) {
    const double xr = s[i - 1];
    const double xi = s[i];
    const double yr = ans[i - 1];
    const double yi = ans[i];
    ans[i - 1] = (xr * yr - xi * yi) / h;
    ans[i] = (xi * yr + xr * yi) / h;
  }
  ans[2] = ans[n + 1];
  reference_fft_real(ans_first, h, -1);
}

// ---- inputs ----

// Values of mixed sign and magnitude with exact zeros of both signs, so that
// a change in the order or form of any operation shows in the bits.
std::vector<double> random_values(std::size_t count, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::uniform_int_distribution<int> kind(0, 15);
  std::vector<double> v(count);
  for (double& x : v) {
    switch (kind(rng)) {
      case 0:
        x = 0.0;
        break;
      case 1:
        x = -0.0;
        break;
      case 2:
        x = uniform(rng) * 1e-300;
        break;
      case 3:
        x = uniform(rng) * 1e12;
        break;
      default:
        x = uniform(rng);
        break;
    }
  }
  return v;
}

// A distribution padded with zeros and a cut-off kernel in wrap-around
// order, as the propagator passes them.
std::pair<std::vector<double>, std::vector<double>> propagator_like(int n, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<double> data(static_cast<std::size_t>(n), 0.0);
  std::vector<double> kernel(static_cast<std::size_t>(n), 0.0);
  const int used = (2 * n) / 3;
  for (int i = 0; i < used; ++i) data[i] = uniform(rng);
  const int reach = n / 5;
  for (int j = 0; j <= reach; ++j) {
    kernel[j] = std::exp(-0.003 * j * j);
    if (j > 0) kernel[n - j] = kernel[j];
  }
  return {data, kernel};
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

constexpr int kLongest = 131072;

// ---- comparisons ----

TEST(FftBits, ComplexTransformMatchesPlainLoops) {
  std::mt19937_64 rng(1);
  for (int nn = 1; nn <= kLongest; nn *= 2) {
    for (const int isign : {1, -1}) {
      const std::vector<double> input = random_values(2 * static_cast<std::size_t>(nn), rng);
      std::vector<double> expected = input;
      reference_fft_complex(expected.data(), nn, isign);

      std::vector<double> with_tables = input;
      std::vector<double> work(2 * static_cast<std::size_t>(nn));
      fft_complex(FftTables(nn, isign), with_tables.data(), work.data());
      EXPECT_TRUE(same_bits(with_tables, expected)) << "nn = " << nn << ", isign = " << isign;

      std::vector<double> one_off = input;
      testing::fft_complex(one_off.data(), nn, isign);
      EXPECT_TRUE(same_bits(one_off, expected)) << "nn = " << nn << ", isign = " << isign;

      // Split form, from separate real and imaginary inputs.
      std::vector<double> re(static_cast<std::size_t>(nn));
      std::vector<double> im(static_cast<std::size_t>(nn));
      fft_split(FftTables(nn, isign), input.data(), input.data() + 1, 2, re.data(), im.data());
      std::vector<double> split(2 * static_cast<std::size_t>(nn));
      for (int k = 0; k < nn; ++k) {
        split[2 * k] = re[k];
        split[2 * k + 1] = im[k];
      }
      EXPECT_TRUE(same_bits(split, expected)) << "nn = " << nn << ", isign = " << isign;
    }
  }
}

TEST(FftBits, RealTransformMatchesPlainLoops) {
  std::mt19937_64 rng(2);
  for (int nn = 1; nn <= kLongest / 2; nn *= 2) {
    for (const int isign : {1, -1}) {
      const std::vector<double> input = random_values(2 * static_cast<std::size_t>(nn), rng);
      std::vector<double> expected = input;
      reference_fft_real(expected.data(), nn, isign);
      std::vector<double> actual = input;
      fft_real(actual.data(), nn, isign);
      EXPECT_TRUE(same_bits(actual, expected)) << "nn = " << nn << ", isign = " << isign;
    }
  }
}

TEST(FftBits, TwoRealTransformMatchesPlainLoops) {
  std::mt19937_64 rng(3);
  for (int n = 1; n <= kLongest; n *= 2) {
    const std::vector<double> data1 = random_values(static_cast<std::size_t>(n), rng);
    const std::vector<double> data2 = random_values(static_cast<std::size_t>(n), rng);
    std::vector<double> expected1(2 * static_cast<std::size_t>(n));
    std::vector<double> expected2(2 * static_cast<std::size_t>(n));
    reference_fft_two_real(data1.data(), data2.data(), expected1.data(), expected2.data(), n);
    std::vector<double> actual1(2 * static_cast<std::size_t>(n));
    std::vector<double> actual2(2 * static_cast<std::size_t>(n));
    testing::fft_two_real(data1.data(), data2.data(), actual1.data(), actual2.data(), n);
    EXPECT_TRUE(same_bits(actual1, expected1)) << "n = " << n;
    EXPECT_TRUE(same_bits(actual2, expected2)) << "n = " << n;
  }
}

TEST(FftBits, ConvolutionMatchesPlainLoopsAndKeepsItsInputs) {
  std::mt19937_64 rng(4);
  for (int n = 2; n <= kLongest; n *= 2) {
    const ConvolutionTables tables(n);
    const auto count = static_cast<std::size_t>(n);
    std::vector<std::pair<std::vector<double>, std::vector<double>>> inputs = {
        {random_values(count, rng), random_values(count, rng)}, propagator_like(n, rng)};
    for (std::size_t c = 0; c < inputs.size(); ++c) {
      const std::vector<double>& data = inputs[c].first;
      const std::vector<double>& response = inputs[c].second;
      std::vector<double> expected(2 * count);
      reference_convolve(data.data(), n, response.data(), expected.data());
      expected.resize(count);

      std::vector<double> data_copy = data;
      std::vector<double> response_copy = response;
      std::vector<double> ans(2 * count);
      std::vector<double> spectrum(2 * count);
      convolve(tables, data_copy.data(), response_copy.data(), ans.data(), spectrum.data());
      ans.resize(count);
      EXPECT_TRUE(same_bits(ans, expected)) << "n = " << n << ", input " << c;
      EXPECT_TRUE(same_bits(data_copy, data)) << "n = " << n;
      EXPECT_TRUE(same_bits(response_copy, response)) << "n = " << n;

      // The same tables serve again, and the one-off form agrees.
      std::vector<double> again(2 * count);
      convolve(tables, data.data(), response.data(), again.data(), spectrum.data());
      again.resize(count);
      EXPECT_TRUE(same_bits(again, expected)) << "n = " << n;
      if (n <= 4096) {
        std::vector<double> one_off(2 * count);
        testing::convolve(data.data(), n, response.data(), one_off.data(), spectrum.data());
        one_off.resize(count);
        EXPECT_TRUE(same_bits(one_off, expected)) << "n = " << n;
      }
    }
  }
}

}  // namespace
}  // namespace pelmora
