#include "numeric/convolve.h"

#include <cassert>

#include "numeric/fft.h"
#include "numeric/unit_offset.h"

namespace pelmora {

void convolve(const double* data, int n, const double* response, double* ans_first,
              double* spectrum) {
  assert(is_power_of_two(n) && n >= 2);
  fft_two_real(data, response, spectrum, ans_first, n);
  const UnitOffset<const double> s(spectrum);
  const UnitOffset<double> ans(ans_first);
  // Dividing by n/2 here cancels the factor that the inverse real transform
  // leaves.  Only frequencies 0..n/2 are needed by that transform.
  const int h = n >> 1;
  for (int i = 2; i <= n + 2; i += 2) {
    const double xr = s[i - 1];
    const double xi = s[i];
    const double yr = ans[i - 1];
    const double yi = ans[i];
    ans[i - 1] = (xr * yr - xi * yi) / h;
    ans[i] = (xi * yr + xr * yi) / h;
  }
  ans[2] = ans[n + 1];  // the Nyquist term goes into the packed position
  fft_real(ans_first, h, -1);
}

}  // namespace pelmora
