#include "numeric/fft.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

#include "numeric/unit_offset.h"

namespace pelmora {

namespace {

// Up to this many complex values the array stays in the first-level cache and
// the passes run in their natural order; above it they run blocked.
constexpr int kInCacheValues = 2048;

// Twiddle factors tabulated at a time by a blocked pass.
constexpr int kTwiddleRun = 256;

// Advances the twiddle factor w by w <- w + w * (wpr + i wpi).  The results of
// the whole system are reproducible to the last bit only if this keeps its
// exact form: no sine or cosine per factor, the old real part kept.
inline void advance(double& wr, double& wi, double wpr, double wpi) {
  double wtemp;
  wr = (wtemp = wr) * wpr - wi * wpi + wr;
  wi = wi * wpr + wtemp * wpi + wi;
}

inline void butterfly(const UnitOffset<double>& data, int i, int mmax, double wr, double wi) {
  const int j = i + mmax;
  const double tempr = wr * data[j] - wi * data[j + 1];
  const double tempi = wr * data[j + 1] + wi * data[j];
  data[j] = data[i] - tempr;
  data[j + 1] = data[i + 1] - tempi;
  data[i] += tempr;
  data[i + 1] += tempi;
}

// One Danielson-Lanczos pass over n doubles, twiddle factor by twiddle factor.
void pass_in_order(const UnitOffset<double>& data, int n, int mmax, double wpr, double wpi) {
  const int istep = mmax << 1;
  double wr = 1.0;
  double wi = 0.0;
  for (int m = 1; m < mmax; m += 2) {
    for (int i = m; i <= n; i += istep) butterfly(data, i, mmax, wr, wi);
    advance(wr, wi, wpr, wpi);
  }
}

// The same pass for arrays beyond the cache.  Taken twiddle factor by twiddle
// factor, every factor sweeps the whole array with a power-of-two stride,
// which the caches cannot hold.  Here a run of factors is tabulated first, by
// the same recurrence and hence with the same values, and then each block of
// istep values is finished for that run before the next block.  Every
// butterfly sees the same operands as in the natural order (the butterflies
// of one pass touch disjoint elements), so the result is identical to the
// last bit.
void pass_blocked(const UnitOffset<double>& data, int n, int mmax, double wpr, double wpi) {
  const int istep = mmax << 1;
  double table_r[kTwiddleRun];
  double table_i[kTwiddleRun];
  double wr = 1.0;
  double wi = 0.0;
  for (int first_m = 1; first_m < mmax; first_m += 2 * kTwiddleRun) {
    const int count = std::min(kTwiddleRun, (mmax - first_m + 1) / 2);
    for (int k = 0; k < count; ++k) {
      table_r[k] = wr;
      table_i[k] = wi;
      advance(wr, wi, wpr, wpi);
    }
    for (int block = 0; block < n; block += istep) {
      for (int k = 0; k < count; ++k)
        butterfly(data, block + first_m + 2 * k, mmax, table_r[k], table_i[k]);
    }
  }
}

}  // namespace

void fft_complex_ordered(double* first, int nn, int isign, bool blocked) {
  assert(is_power_of_two(nn));
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

  // The literal for 2 pi is part of the results: it is not the double nearest
  // to 2 pi.
  for (int mmax = 2; n > mmax; mmax <<= 1) {
    const double theta = 6.28318530717959 / (isign * mmax);
    const double wtemp = std::sin(0.5 * theta);
    const double wpr = -2.0 * wtemp * wtemp;
    const double wpi = std::sin(theta);
    if (blocked) {
      pass_blocked(data, n, mmax, wpr, wpi);
    } else {
      pass_in_order(data, n, mmax, wpr, wpi);
    }
  }
}

void fft_complex(double* first, int nn, int isign) {
  fft_complex_ordered(first, nn, isign, nn > kInCacheValues);
}

void fft_real(double* first, int nn, int isign) {
  assert(is_power_of_two(nn));
  const UnitOffset<double> data(first);
  const double c1 = 0.5;
  double c2;
  double theta = 3.141592653589793 / static_cast<double>(nn);
  if (isign == 1) {
    c2 = -0.5;
    fft_complex(first, nn, 1);
  } else {
    c2 = 0.5;
    theta = -theta;
  }
  const double wtemp = std::sin(0.5 * theta);
  const double wpr = -2.0 * wtemp * wtemp;
  const double wpi = std::sin(theta);
  double wr = 1.0 + wpr;  // the recurrence starts one step past 1
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
    advance(wr, wi, wpr, wpi);
  }
  const double d1 = data[1];
  if (isign == 1) {
    data[1] = d1 + data[2];
    data[2] = d1 - data[2];
  } else {
    data[1] = c1 * (d1 + data[2]);
    data[2] = c1 * (d1 - data[2]);
    fft_complex(first, nn, -1);
  }
}

void fft_two_real(const double* first1, const double* first2, double* out1, double* out2, int n) {
  assert(is_power_of_two(n));
  const UnitOffset<const double> data1(first1);
  const UnitOffset<const double> data2(first2);
  const UnitOffset<double> fft1(out1);
  const UnitOffset<double> fft2(out2);
  for (int j = 1; j <= n; ++j) {
    fft1[2 * j - 1] = data1[j];
    fft1[2 * j] = data2[j];
  }
  fft_complex(out1, n, 1);
  fft2[1] = fft1[2];
  fft1[2] = fft2[2] = 0.0;
  const int nn2 = 2 * n + 2;
  const int nn3 = nn2 + 1;
  for (int j = 3; j <= n + 1; j += 2) {
    const int p = nn2 - j;
    const int q = nn3 - j;
    const double x1 = fft1[j];
    const double y1 = fft1[j + 1];
    const double x2 = fft1[p];
    const double y2 = fft1[q];
    const double rep = 0.5 * (x1 + x2);
    const double rem = 0.5 * (x1 - x2);
    const double aip = 0.5 * (y1 + y2);
    const double aim = 0.5 * (y1 - y2);
    // At j = n+1 the mirrored positions coincide with j and j+1; the later
    // writes stand.
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

}  // namespace pelmora
