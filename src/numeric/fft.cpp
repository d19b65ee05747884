#include "numeric/fft.h"

#include <cassert>
#include <cmath>

#include "numeric/unit_offset.h"

namespace pelmora {

// The results of the whole system are reproducible to the last bit only if
// every expression below keeps its form: the literal for 2 pi, the order of
// the operands, and the twiddle factors advanced by the recurrence instead of
// being evaluated by sin and cos.
void fft_complex(double* first, int nn, int isign) {
  assert(is_power_of_two(nn));
  const UnitOffset<double> data(first);
  const int n = nn << 1;

  int j = 1;
  for (int i = 1; i < n; i += 2) {
    if (j > i) {
      const double swap_real = data[j];
      data[j] = data[i];
      data[i] = swap_real;
      const double swap_imag = data[j + 1];
      data[j + 1] = data[i + 1];
      data[i + 1] = swap_imag;
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
