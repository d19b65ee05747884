#include "numeric/fft.h"

#include <cassert>
#include <cmath>
#include <cstddef>

#include "numeric/lanes.h"
#include "numeric/unit_offset.h"

namespace pelmora {

namespace {

// Advances the twiddle factor w by w <- w + w * (wpr + i wpi).  The results of
// the whole system are reproducible to the last bit only if this keeps its
// exact form: no sine or cosine per factor, the old real part kept.
inline void advance(double& wr, double& wi, double wpr, double wpi) {
  double wtemp;
  wr = (wtemp = wr) * wpr - wi * wpi + wr;
  wi = wi * wpr + wtemp * wpi + wi;
}

// Transforms up to this length work in the cache.  Longer ones reorder
// tile by tile, and finish the passes with groups up to this size one
// block at a time; only the passes with larger groups sweep the whole array.
// (The twiddle factors of a pass do not depend on the length.)
constexpr int kCacheBlock = 4096;

// b <- a - w b and a <- a + w b, with w b formed as (wr br - wi bi, wr bi +
// wi br).  T is double, or Lanes for two independent butterflies at once.
template <typename T>
inline void butterfly(T& ar, T& ai, T& br, T& bi, T wr, T wi) {
  const T tempr = wr * br - wi * bi;
  const T tempi = wr * bi + wi * br;
  br = ar - tempr;
  bi = ai - tempi;
  ar = ar + tempr;
  ai = ai + tempi;
}

// The passes with half = 1 and half = 2 on the four values of one quad
// (positions 4q..4q+3 after reordering).  w1 holds the one factor of the
// first pass, w2 the two of the second, as (re, im, re, im).
template <typename T>
inline void quad_passes(T (&xr)[4], T (&xi)[4], const T (&w1)[2], const T (&w2)[4]) {
  butterfly(xr[0], xi[0], xr[1], xi[1], w1[0], w1[1]);
  butterfly(xr[2], xi[2], xr[3], xi[3], w1[0], w1[1]);
  butterfly(xr[0], xi[0], xr[2], xi[2], w2[0], w2[1]);
  butterfly(xr[1], xi[1], xr[3], xi[3], w2[2], w2[3]);
}

// Reorders the input by bit reversal into re/im and performs the first two
// passes on the way, so that the scattered reads are the only pass over the
// input.  Two quads run side by side, one in each lane.
void reorder_and_first_passes(const FftTables& tables, const double* in_re, const double* in_im,
                              int stride, double* re, double* im) {
  const int nn = tables.length();
  if (nn == 1) {
    re[0] = in_re[0];
    im[0] = in_im[0];
    return;
  }
  const double w1r = tables.twiddle_re(1)[0];
  const double w1i = tables.twiddle_im(1)[0];
  if (nn == 2) {
    double ar = in_re[0];
    double ai = in_im[0];
    double br = in_re[stride];
    double bi = in_im[stride];
    butterfly(ar, ai, br, bi, w1r, w1i);
    re[0] = ar;
    im[0] = ai;
    re[1] = br;
    im[1] = bi;
    return;
  }
  const double* w2r = tables.twiddle_re(2);
  const double* w2i = tables.twiddle_im(2);
  const std::ptrdiff_t s = stride;
  const std::ptrdiff_t o1 = s * (nn / 2);
  const std::ptrdiff_t o2 = s * (nn / 4);
  const std::ptrdiff_t o3 = o1 + o2;
  const std::int32_t* quads = tables.reversed_quads();
  if (nn == 4) {
    double xr[4] = {in_re[0], in_re[o1], in_re[o2], in_re[o3]};
    double xi[4] = {in_im[0], in_im[o1], in_im[o2], in_im[o3]};
    quad_passes(xr, xi, {w1r, w1i}, {w2r[0], w2i[0], w2r[1], w2i[1]});
    for (int k = 0; k < 4; ++k) {
      re[k] = xr[k];
      im[k] = xi[k];
    }
    return;
  }
  const Lanes w1[2] = {broadcast(w1r), broadcast(w1i)};
  const Lanes w2[4] = {broadcast(w2r[0]), broadcast(w2i[0]), broadcast(w2r[1]), broadcast(w2i[1])};
  // In natural order of the positions, the reads jump across the whole
  // input, and beyond the cache each line is fetched again for each of its
  // values.  Long inputs therefore go in tiles: position a nn/8 + 8b + c
  // (a, c = 0..7) reads from index rev(c) nn/8 + rev(8b) + rev(a), so for
  // one b the eight octets a = 0..7 read eight lines, each completely.
  const bool tiled = nn > kCacheBlock;
  const int eighth = nn / 8;
  for (int octet = 0; octet < eighth; ++octet) {
    // Positions 4q..4q+7: quad q in lane 0, quad q+1 in lane 1.
    const int q = tiled ? ((octet & 7) * eighth + 8 * (octet >> 3)) / 4 : 2 * octet;
    const double* r0 = in_re + s * quads[q];
    const double* r1 = in_re + s * quads[q + 1];
    const double* i0 = in_im + s * quads[q];
    const double* i1 = in_im + s * quads[q + 1];
    Lanes xr[4] = {Lanes{r0[0], r1[0]}, Lanes{r0[o1], r1[o1]}, Lanes{r0[o2], r1[o2]},
                   Lanes{r0[o3], r1[o3]}};
    Lanes xi[4] = {Lanes{i0[0], i1[0]}, Lanes{i0[o1], i1[o1]}, Lanes{i0[o2], i1[o2]},
                   Lanes{i0[o3], i1[o3]}};
    quad_passes(xr, xi, w1, w2);
    double* pr = re + 4 * q;
    double* pi = im + 4 * q;
    store_lanes(pr, Lanes{xr[0][0], xr[1][0]});
    store_lanes(pr + 2, Lanes{xr[2][0], xr[3][0]});
    store_lanes(pr + 4, Lanes{xr[0][1], xr[1][1]});
    store_lanes(pr + 6, Lanes{xr[2][1], xr[3][1]});
    store_lanes(pi, Lanes{xi[0][0], xi[1][0]});
    store_lanes(pi + 2, Lanes{xi[2][0], xi[3][0]});
    store_lanes(pi + 4, Lanes{xi[0][1], xi[1][1]});
    store_lanes(pi + 6, Lanes{xi[2][1], xi[3][1]});
  }
}

// One pass with half >= 4 over the first count values of re/im in place.
// Within a group the twiddle factors run with unit stride alongside the data.
void middle_pass(const FftTables& tables, int half, double* re, double* im, int count) {
  const double* wr = tables.twiddle_re(half);
  const double* wi = tables.twiddle_im(half);
  for (int g = 0; g < count; g += 2 * half) {
    double* ar = re + g;
    double* ai = im + g;
    double* br = ar + half;
    double* bi = ai + half;
    for (int t = 0; t < half; t += 2) {
      Lanes xr = load_lanes(ar + t);
      Lanes xi = load_lanes(ai + t);
      Lanes yr = load_lanes(br + t);
      Lanes yi = load_lanes(bi + t);
      butterfly(xr, xi, yr, yi, load_lanes(wr + t), load_lanes(wi + t));
      store_lanes(ar + t, xr);
      store_lanes(ai + t, xi);
      store_lanes(br + t, yr);
      store_lanes(bi + t, yi);
    }
  }
}

// The passes with half and 2 half (half >= 2, even) in one sweep: each of
// the four values a butterfly of the second pass needs is loaded once for
// both passes.  The butterflies are those of the two separate passes.  With
// Interleaved, the results go to out as (re, im) pairs instead of back into
// re/im; that is meant for the last two passes.  The passes cover the first
// count values of re/im, a multiple of 4 half.
template <bool Interleaved>
void middle_pass_pair(const FftTables& tables, int half, double* re, double* im, double* out,
                      int count) {
  const double* w1r = tables.twiddle_re(half);
  const double* w1i = tables.twiddle_im(half);
  const double* w2r = tables.twiddle_re(2 * half);
  const double* w2i = tables.twiddle_im(2 * half);
  for (int g = 0; g < count; g += 4 * half) {
    double* r0 = re + g;
    double* r1 = r0 + half;
    double* r2 = r1 + half;
    double* r3 = r2 + half;
    double* i0 = im + g;
    double* i1 = i0 + half;
    double* i2 = i1 + half;
    double* i3 = i2 + half;
    for (int t = 0; t < half; t += 2) {
      Lanes x0r = load_lanes(r0 + t);
      Lanes x0i = load_lanes(i0 + t);
      Lanes x1r = load_lanes(r1 + t);
      Lanes x1i = load_lanes(i1 + t);
      Lanes x2r = load_lanes(r2 + t);
      Lanes x2i = load_lanes(i2 + t);
      Lanes x3r = load_lanes(r3 + t);
      Lanes x3i = load_lanes(i3 + t);
      const Lanes v1r = load_lanes(w1r + t);
      const Lanes v1i = load_lanes(w1i + t);
      butterfly(x0r, x0i, x1r, x1i, v1r, v1i);
      butterfly(x2r, x2i, x3r, x3i, v1r, v1i);
      butterfly(x0r, x0i, x2r, x2i, load_lanes(w2r + t), load_lanes(w2i + t));
      butterfly(x1r, x1i, x3r, x3i, load_lanes(w2r + t + half), load_lanes(w2i + t + half));
      if constexpr (Interleaved) {
        double* o0 = out + 2 * (g + t);
        double* o1 = o0 + 2 * half;
        double* o2 = o1 + 2 * half;
        double* o3 = o2 + 2 * half;
        store_lanes(o0, Lanes{x0r[0], x0i[0]});
        store_lanes(o0 + 2, Lanes{x0r[1], x0i[1]});
        store_lanes(o1, Lanes{x1r[0], x1i[0]});
        store_lanes(o1 + 2, Lanes{x1r[1], x1i[1]});
        store_lanes(o2, Lanes{x2r[0], x2i[0]});
        store_lanes(o2 + 2, Lanes{x2r[1], x2i[1]});
        store_lanes(o3, Lanes{x3r[0], x3i[0]});
        store_lanes(o3 + 2, Lanes{x3r[1], x3i[1]});
      } else {
        store_lanes(r0 + t, x0r);
        store_lanes(i0 + t, x0i);
        store_lanes(r1 + t, x1r);
        store_lanes(i1 + t, x1i);
        store_lanes(r2 + t, x2r);
        store_lanes(i2 + t, x2i);
        store_lanes(r3 + t, x3r);
        store_lanes(i3 + t, x3i);
      }
    }
  }
}

// The last pass (half = nn/2 >= 4), writing interleaved (re, im) pairs to out.
void last_pass_interleaved(const FftTables& tables, const double* re, const double* im,
                           double* out) {
  const int half = tables.length() / 2;
  const double* wr = tables.twiddle_re(half);
  const double* wi = tables.twiddle_im(half);
  double* out_b = out + 2 * half;
  for (int t = 0; t < half; t += 2) {
    Lanes xr = load_lanes(re + t);
    Lanes xi = load_lanes(im + t);
    Lanes yr = load_lanes(re + half + t);
    Lanes yi = load_lanes(im + half + t);
    butterfly(xr, xi, yr, yi, load_lanes(wr + t), load_lanes(wi + t));
    store_lanes(out + 2 * t, Lanes{xr[0], xi[0]});
    store_lanes(out + 2 * t + 2, Lanes{xr[1], xi[1]});
    store_lanes(out_b + 2 * t, Lanes{yr[0], yi[0]});
    store_lanes(out_b + 2 * t + 2, Lanes{yr[1], yi[1]});
  }
}

// The passes from half = 4 on, after reorder_and_first_passes: in pairs
// where possible.  With out set, the last pass writes interleaved pairs
// there; nn >= 8 then.
void remaining_passes(const FftTables& tables, double* re, double* im, double* out) {
  const int nn = tables.length();
  int half = 4;
  if (nn > kCacheBlock) {
    for (int block = 0; block < nn; block += kCacheBlock) {
      for (half = 4; 4 * half <= kCacheBlock; half *= 4)
        middle_pass_pair<false>(tables, half, re + block, im + block, nullptr, kCacheBlock);
    }
  }
  for (; 4 * half <= nn; half *= 4) {
    if (out != nullptr && 4 * half == nn) {
      middle_pass_pair<true>(tables, half, re, im, out, nn);
    } else {
      middle_pass_pair<false>(tables, half, re, im, nullptr, nn);
    }
  }
  if (half < nn) {
    // One pass is left over: half = nn/2.
    if (out == nullptr) {
      middle_pass(tables, half, re, im, nn);
    } else {
      last_pass_interleaved(tables, re, im, out);
    }
  }
}

int reverse_bits(int value, int bits) {
  int reversed = 0;
  for (int b = 0; b < bits; ++b) {
    reversed = (reversed << 1) | (value & 1);
    value >>= 1;
  }
  return reversed;
}

// The untangling step of the real transform, on data[1..2nn] in place:
// forward (after the complex transform) with c2 = -0.5, inverse (before it)
// with c2 = +0.5.
void untangle_real(const FftTables& tables, const UnitOffset<double>& data, double c2) {
  const int nn = tables.length();
  const double c1 = 0.5;
  const double* w_re = tables.untangle_re();
  const double* w_im = tables.untangle_im();
  const int n2p3 = 2 * nn + 3;
  for (int i = 2; i <= (nn >> 1); ++i) {
    const double wr = w_re[i - 2];
    const double wi = w_im[i - 2];
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
  }
}

}  // namespace

FftTables::FftTables(int nn, int isign) : nn_(nn), isign_(isign) {
  assert(is_power_of_two(nn));
  const auto count = static_cast<std::size_t>(nn);
  twiddle_re_.resize(count);
  twiddle_im_.resize(count);
  // The literal for 2 pi is part of the results: it is not the double nearest
  // to 2 pi.
  const int n = 2 * nn;
  for (int mmax = 2; n > mmax; mmax <<= 1) {
    const double theta = 6.28318530717959 / (isign * mmax);
    const double wtemp = std::sin(0.5 * theta);
    const double wpr = -2.0 * wtemp * wtemp;
    const double wpi = std::sin(theta);
    const int half = mmax >> 1;
    double wr = 1.0;
    double wi = 0.0;
    for (int t = 0; t < half; ++t) {
      twiddle_re_[static_cast<std::size_t>(half - 1 + t)] = wr;
      twiddle_im_[static_cast<std::size_t>(half - 1 + t)] = wi;
      advance(wr, wi, wpr, wpi);
    }
  }

  int bits = 0;
  while ((1 << bits) < nn) ++bits;
  reversed_quads_.resize(count / 4 + 1);
  for (int q = 0; q < nn / 4; ++q)
    reversed_quads_[static_cast<std::size_t>(q)] = reverse_bits(4 * q, bits);

  double theta = 3.141592653589793 / static_cast<double>(nn);
  if (isign != 1) theta = -theta;
  const double wtemp = std::sin(0.5 * theta);
  const double wpr = -2.0 * wtemp * wtemp;
  const double wpi = std::sin(theta);
  double wr = 1.0 + wpr;  // the recurrence starts one step past 1
  double wi = wpi;
  untangle_re_.resize(count / 2 + 1);
  untangle_im_.resize(count / 2 + 1);
  for (int i = 2; i <= (nn >> 1); ++i) {
    untangle_re_[static_cast<std::size_t>(i - 2)] = wr;
    untangle_im_[static_cast<std::size_t>(i - 2)] = wi;
    advance(wr, wi, wpr, wpi);
  }
}

void fft_split(const FftTables& tables, const double* in_re, const double* in_im, int stride,
               double* out_re, double* out_im) {
  reorder_and_first_passes(tables, in_re, in_im, stride, out_re, out_im);
  remaining_passes(tables, out_re, out_im, nullptr);
}

void fft_split_interleaved(const FftTables& tables, const double* in_re, const double* in_im,
                           int stride, double* work_re, double* work_im, double* out) {
  const int nn = tables.length();
  reorder_and_first_passes(tables, in_re, in_im, stride, work_re, work_im);
  if (nn >= 8) {
    remaining_passes(tables, work_re, work_im, out);
  } else {
    for (int k = 0; k < nn; ++k) {
      out[2 * k] = work_re[k];
      out[2 * k + 1] = work_im[k];
    }
  }
}

void fft_complex(const FftTables& tables, double* data, double* work) {
  fft_split_interleaved(tables, data, data + 1, 2, work, work + tables.length(), data);
}

void fft_real(double* first, int nn, int isign) {
  assert(is_power_of_two(nn));
  const FftTables tables(nn, isign == 1 ? 1 : -1);
  std::vector<double> work(2 * static_cast<std::size_t>(nn));
  const UnitOffset<double> data(first);
  const double c1 = 0.5;
  if (isign == 1) {
    fft_complex(tables, first, work.data());
    untangle_real(tables, data, -0.5);
  } else {
    untangle_real(tables, data, 0.5);
  }
  const double d1 = data[1];
  if (isign == 1) {
    data[1] = d1 + data[2];
    data[2] = d1 - data[2];
  } else {
    data[1] = c1 * (d1 + data[2]);
    data[2] = c1 * (d1 - data[2]);
    fft_complex(tables, first, work.data());
  }
}

}  // namespace pelmora
