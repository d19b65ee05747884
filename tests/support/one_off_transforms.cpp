#include "support/one_off_transforms.h"

#include <cassert>
#include <vector>

#include "numeric/convolve.h"
#include "numeric/fft.h"
#include "numeric/unit_offset.h"

namespace pelmora::testing {

void fft_complex(double* data, int nn, int isign) {
  const FftTables tables(nn, isign);
  std::vector<double> work(2 * static_cast<std::size_t>(nn));
  pelmora::fft_complex(tables, data, work.data());
}

void fft_two_real(const double* first1, const double* first2, double* out1, double* out2, int n) {
  assert(is_power_of_two(n));
  const FftTables tables(n, 1);
  std::vector<double> work(2 * static_cast<std::size_t>(n));
  // data1 enters as the real parts, data2 as the imaginary parts.
  fft_split_interleaved(tables, first1, first2, 1, work.data(), work.data() + n, out1);
  const UnitOffset<double> fft1(out1);
  const UnitOffset<double> fft2(out2);
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

void convolve(const double* data, int n, const double* response, double* ans, double* spectrum) {
  pelmora::convolve(ConvolutionTables(n), data, response, ans, spectrum);
}

}  // namespace pelmora::testing
