#include "numeric/convolve.h"

#include <cassert>

#include "numeric/lanes.h"
#include "numeric/unit_offset.h"

namespace pelmora {

namespace {

template <typename T>
struct Complex {
  T re;
  T im;
};

// Everything between the two complex transforms, for frequency k of the
// joint transform z (n values) of data + i response: the spectra of the data
// (x) and of the response (y) are separated by symmetry, from z_k = (x1, y1)
// and z_{n-k} = (x2, y2), multiplied, and divided by h = n/2.  This is the
// case 0 < k < n/2; T is double, or Lanes for two frequencies at once.
// inverse_h is 1/h, exact since h is a power of two, so that x * inverse_h
// equals x / h to the last bit.
template <typename T>
inline Complex<T> spectrum_product(T x1, T y1, T x2, T y2, T inverse_h) {
  const T rep = 0.5 * (x1 + x2);
  const T rem = 0.5 * (x1 - x2);
  const T aip = 0.5 * (y1 + y2);
  const T aim = 0.5 * (y1 - y2);
  const T xr = rep;
  const T xi = aim;
  const T yr = aip;
  const T yi = -rem;
  return {(xr * yr - xi * yi) * inverse_h, (xi * yr + xr * yi) * inverse_h};
}

// The same at k = 0 and k = n/2, where both spectra are real: the
// separation writes the mirrored entries last, and the signs of their zero
// imaginary parts are kept.
Complex<double> edge_product(const double* zr, const double* zi, int k, double inverse_h) {
  double xr, xi, yr, yi;
  if (k == 0) {
    xr = zr[0];
    xi = 0.0;
    yr = zi[0];
    yi = 0.0;
  } else {
    const double x1 = zr[k];
    const double y1 = zi[k];
    xr = 0.5 * (x1 + x1);
    xi = -(0.5 * (y1 - y1));
    yr = 0.5 * (y1 + y1);
    yi = 0.5 * (x1 - x1);
  }
  return {(xr * yr - xi * yi) * inverse_h, (xi * yr + xr * yi) * inverse_h};
}

// The untangling of the inverse real transform for one pair of indices
// (k, m = nn - k), from the products pk and pm; factor w.  The results q_k
// and q_m go to (kr, ki) and (mr, mi).
template <typename T>
inline void untangle_pair(Complex<T> pk, Complex<T> pm, T wr, T wi, T& kr, T& ki, T& mr, T& mi) {
  const double c1 = 0.5;
  const double c2 = 0.5;
  const T h1r = c1 * (pk.re + pm.re);
  const T h1i = c1 * (pk.im - pm.im);
  const T h2r = -c2 * (pk.im + pm.im);
  const T h2i = c2 * (pk.re - pm.re);
  kr = h1r + wr * h2r - wi * h2i;
  ki = h1i + wr * h2i + wi * h2r;
  mr = h1r - wr * h2r + wi * h2i;
  mi = -h1i + wr * h2i + wi * h2r;
}

// Lanes (a, b) as (b, a): for indices that run downwards while k runs up.
inline Lanes swapped(Lanes v) {
  return Lanes{v[1], v[0]};
}

// Forms the products for frequencies 0..n/2, packs them as the spectrum of a
// real sequence of n values (frequency n/2 in the imaginary part of
// frequency 0) and untangles that into the complex values q_0..q_{nn-1}
// (nn = n/2) whose inverse complex transform is the result.  q_k is written
// to zr[k], zi[k]: the inputs of q_k and q_{nn-k} lie at indices k, n-k,
// nn-k and nn+k, which no other pair reads, so the spectrum can be
// overwritten in place.  Pairs run two at a time, k and k+1 in the lanes.
void products_to_half_length(const ConvolutionTables& tables, double* zr, double* zi) {
  const int n = tables.length();
  const int nn = n >> 1;
  const double inverse_h = 1.0 / static_cast<double>(nn);
  const double* w_re = tables.inverse().untangle_re();
  const double* w_im = tables.inverse().untangle_im();
  const int pairs_end = nn >> 1;  // k runs over 1..nn/2-1
  int k = 1;
  for (; k + 1 < pairs_end; k += 2) {
    const int m = nn - k;
    // Lanes hold index k, k+1 (or their mirrors m, m-1, and so on).
    const Complex<Lanes> pk = spectrum_product(
        load_lanes(zr + k), load_lanes(zi + k), swapped(load_lanes(zr + n - k - 1)),
        swapped(load_lanes(zi + n - k - 1)), broadcast(inverse_h));
    const Complex<Lanes> pm =
        spectrum_product(swapped(load_lanes(zr + m - 1)), swapped(load_lanes(zi + m - 1)),
                         load_lanes(zr + nn + k), load_lanes(zi + nn + k), broadcast(inverse_h));
    Lanes kr, ki, mr, mi;
    untangle_pair(pk, pm, load_lanes(w_re + k - 1), load_lanes(w_im + k - 1), kr, ki, mr, mi);
    store_lanes(zr + k, kr);
    store_lanes(zi + k, ki);
    store_lanes(zr + m - 1, swapped(mr));
    store_lanes(zi + m - 1, swapped(mi));
  }
  for (; k < pairs_end; ++k) {
    const int m = nn - k;
    const Complex<double> pk = spectrum_product(zr[k], zi[k], zr[n - k], zi[n - k], inverse_h);
    const Complex<double> pm = spectrum_product(zr[m], zi[m], zr[n - m], zi[n - m], inverse_h);
    untangle_pair(pk, pm, w_re[k - 1], w_im[k - 1], zr[k], zi[k], zr[m], zi[m]);
  }
  if (nn >= 2) {
    // Left alone by the untangling.
    const int middle = nn >> 1;
    const Complex<double> p =
        spectrum_product(zr[middle], zi[middle], zr[n - middle], zi[n - middle], inverse_h);
    zr[middle] = p.re;
    zi[middle] = p.im;
  }
  const double c1 = 0.5;
  const double d1 = edge_product(zr, zi, 0, inverse_h).re;
  const double nyquist = edge_product(zr, zi, nn, inverse_h).re;
  zr[0] = c1 * (d1 + nyquist);
  zi[0] = c1 * (d1 - nyquist);
}

}  // namespace

ConvolutionTables::ConvolutionTables(int n) : forward_(n, 1), inverse_(n >> 1, -1) {
  assert(is_power_of_two(n) && n >= 2);
}

void convolve(const ConvolutionTables& tables, const double* data, const double* response,
              double* ans, double* spectrum) {
  const int n = tables.length();
  const int nn = n >> 1;
  // The data enters as the real parts, the response as the imaginary parts;
  // the joint spectrum is kept split, real parts in spectrum[1..n],
  // imaginary parts in spectrum[n+1..2n].
  double* zr = spectrum;
  double* zi = spectrum + n;
  fft_split(tables.forward(), data, response, 1, zr, zi);
  products_to_half_length(tables, zr, zi);
  // ans[n+1..2n] serves as the scratch of the inverse transform.
  fft_split_interleaved(tables.inverse(), zr, zi, 1, ans + n, ans + n + nn, ans);
}

}  // namespace pelmora
