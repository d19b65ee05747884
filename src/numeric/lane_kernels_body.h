// The lane kernels (numeric/lane_kernels.h) for one width, included by
// exactly one source file per instruction set, which defines
// PELMORA_LANE_WIDTH and PELMORA_LANE_TABLE first and is compiled with that
// instruction set's flags.
//
// Everything here has internal linkage and calls no inline function of
// another header: a function compiled for a wider instruction set must never
// be shared, through the linker's merging of inline functions, with code that
// runs on processors without it.  Contraction stays off (the build's
// -ffp-contract=off), so a product followed by a sum is two roundings, as in
// the scalar code; nothing here calls fma.
//
// Every operation below is written as the scalar code writes it, with a
// vector of lanes in place of the double; the comments name the scalar code
// each loop reproduces.

#ifndef PELMORA_LANE_WIDTH
#error "define PELMORA_LANE_WIDTH before including numeric/lane_kernels_body.h"
#endif

#include <cstdint>

#include "numeric/lane_kernels.h"

namespace pelmora {

namespace {

constexpr int W = PELMORA_LANE_WIDTH;
using V = double __attribute__((vector_size(W * sizeof(double))));
using Mask = std::int64_t __attribute__((vector_size(W * sizeof(double))));

inline V splat(double x) {
  V v;
  for (int b = 0; b < W; ++b) v[b] = x;
  return v;
}

// a where mask is set, else b; bit for bit.
inline V choose(Mask mask, V a, V b) {
  return reinterpret_cast<V>((reinterpret_cast<Mask>(a) & mask) |
                             (reinterpret_cast<Mask>(b) & ~mask));
}

// ---- moving values between the lanes' own rows and interleaved arrays ----

// Two vectors' values picked by constant indices (0..W-1 the first's,
// W..2W-1 the second's).
#if defined(__clang__)
#define PELMORA_PICK(a, b, ...) __builtin_shufflevector(a, b, __VA_ARGS__)
#else
#define PELMORA_PICK(a, b, ...) __builtin_shuffle(a, b, Mask{__VA_ARGS__})
#endif

// Rows r[b] (W values of lane b each) turned into columns: r[j] then holds
// value j of every lane.  Data movement only: the interleaving steps of an
// unpack-and-shuffle transpose.
inline void transpose(V (&r)[W]) {
#if PELMORA_LANE_WIDTH == 8
  V t[8], u[8];
  for (int j = 0; j < 8; j += 2) {
    t[j] = PELMORA_PICK(r[j], r[j + 1], 0, 8, 2, 10, 4, 12, 6, 14);
    t[j + 1] = PELMORA_PICK(r[j], r[j + 1], 1, 9, 3, 11, 5, 13, 7, 15);
  }
  for (int j = 0; j < 8; j += 4) {
    u[j] = PELMORA_PICK(t[j], t[j + 2], 0, 1, 4, 5, 8, 9, 12, 13);
    u[j + 1] = PELMORA_PICK(t[j], t[j + 2], 2, 3, 6, 7, 10, 11, 14, 15);
    u[j + 2] = PELMORA_PICK(t[j + 1], t[j + 3], 0, 1, 4, 5, 8, 9, 12, 13);
    u[j + 3] = PELMORA_PICK(t[j + 1], t[j + 3], 2, 3, 6, 7, 10, 11, 14, 15);
  }
  r[0] = PELMORA_PICK(u[0], u[4], 0, 1, 4, 5, 8, 9, 12, 13);
  r[4] = PELMORA_PICK(u[0], u[4], 2, 3, 6, 7, 10, 11, 14, 15);
  r[2] = PELMORA_PICK(u[1], u[5], 0, 1, 4, 5, 8, 9, 12, 13);
  r[6] = PELMORA_PICK(u[1], u[5], 2, 3, 6, 7, 10, 11, 14, 15);
  r[1] = PELMORA_PICK(u[2], u[6], 0, 1, 4, 5, 8, 9, 12, 13);
  r[5] = PELMORA_PICK(u[2], u[6], 2, 3, 6, 7, 10, 11, 14, 15);
  r[3] = PELMORA_PICK(u[3], u[7], 0, 1, 4, 5, 8, 9, 12, 13);
  r[7] = PELMORA_PICK(u[3], u[7], 2, 3, 6, 7, 10, 11, 14, 15);
#elif PELMORA_LANE_WIDTH == 4
  const V t0 = PELMORA_PICK(r[0], r[1], 0, 4, 2, 6);
  const V t1 = PELMORA_PICK(r[0], r[1], 1, 5, 3, 7);
  const V t2 = PELMORA_PICK(r[2], r[3], 0, 4, 2, 6);
  const V t3 = PELMORA_PICK(r[2], r[3], 1, 5, 3, 7);
  r[0] = PELMORA_PICK(t0, t2, 0, 1, 4, 5);
  r[1] = PELMORA_PICK(t1, t3, 0, 1, 4, 5);
  r[2] = PELMORA_PICK(t0, t2, 2, 3, 6, 7);
  r[3] = PELMORA_PICK(t1, t3, 2, 3, 6, 7);
#elif PELMORA_LANE_WIDTH == 2
  const V t0 = PELMORA_PICK(r[0], r[1], 0, 2);
  r[1] = PELMORA_PICK(r[0], r[1], 1, 3);
  r[0] = t0;
#else
#error "lane widths are 2, 4 and 8"
#endif
}

// A vector from any address.
inline V load_any(const double* p) {
  V v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

inline void store_any(double* p, V v) {
  __builtin_memcpy(p, &v, sizeof v);
}

// out[i] = value i of every lane's row, i = 0..count-1.
void gather_rows(const double* const* rows, int count, V* out) {
  int i = 0;
  for (; i + W <= count; i += W) {
    V r[W];
#pragma GCC unroll 8
    for (int b = 0; b < W; ++b) r[b] = load_any(rows[b] + i);
    transpose(r);
#pragma GCC unroll 8
    for (int j = 0; j < W; ++j) out[i + j] = r[j];
  }
  for (; i < count; ++i) {
    V v;
    for (int b = 0; b < W; ++b) v[b] = rows[b][i];
    out[i] = v;
  }
}

// Every lane's row i = in[i][lane] / by[lane], i = 0..count-1, then its
// weighting (ColourWeighting): weighted = row * colour, and the lane's
// lowest value lowered to the row's most negative value.  That value is the
// same whatever order the values are compared in (a negative number replaces
// a larger one, 0 and -0 never replace each other), so each lane looks for
// it W values at a time.
void finish_rows(const V* in, V by, int count, double* const* rows, const ColourWeighting& w) {
  V lowest[W];
  for (int b = 0; b < W; ++b) lowest[b] = splat(w.lowest[b]);
  int i = 0;
  for (; i + W <= count; i += W) {
    V r[W];
#pragma GCC unroll 8
    for (int j = 0; j < W; ++j) r[j] = in[i + j] / by;
    transpose(r);
#pragma GCC unroll 8
    for (int b = 0; b < W; ++b) {
      store_any(rows[b] + i, r[b]);
      store_any(w.weighted[b] + i, r[b] * load_any(w.colours[b] + i));
      lowest[b] = r[b] < lowest[b] ? r[b] : lowest[b];
    }
  }
  for (int b = 0; b < W; ++b) {
    double most_negative = w.lowest[b];
    for (int j = 0; j < W; ++j) {
      if (lowest[b][j] < most_negative) most_negative = lowest[b][j];
    }
    w.lowest[b] = most_negative;
  }
  for (; i < count; ++i) {
    const V v = in[i] / by;
    for (int b = 0; b < W; ++b) {
      rows[b][i] = v[b];
      w.weighted[b][i] = v[b] * w.colours[b][i];
      if (v[b] < w.lowest[b]) w.lowest[b] = v[b];
    }
  }
}

// ---- confined models: engine/confined_propagator.cpp ----

// coefficient_k = factor_k * dot(right_k, source), the dot as the scalar
// code forms it: the even and the odd indices in two sums, each from 0 in
// ascending order, then even + odd, then the last index when bins is odd.
// Four modes at a time share the loads of the source.
void mode_coefficients(const ConfinedLaneStep& step, const V* source, const V* factor,
                       V* coefficient) {
  const int bins = step.bins;
  const int modes = step.modes;
  const int pairs_end = bins & ~1;
  int k = 0;
  for (; k + 4 <= modes; k += 4) {
    const double* r0 = step.right + static_cast<std::ptrdiff_t>(k) * bins;
    const double* r1 = r0 + bins;
    const double* r2 = r1 + bins;
    const double* r3 = r2 + bins;
    V e0 = splat(0.0), e1 = splat(0.0), e2 = splat(0.0), e3 = splat(0.0);
    V o0 = splat(0.0), o1 = splat(0.0), o2 = splat(0.0), o3 = splat(0.0);
    for (int i = 0; i < pairs_end; i += 2) {
      const V s0 = source[i];
      const V s1 = source[i + 1];
      e0 += r0[i] * s0;
      o0 += r0[i + 1] * s1;
      e1 += r1[i] * s0;
      o1 += r1[i + 1] * s1;
      e2 += r2[i] * s0;
      o2 += r2[i + 1] * s1;
      e3 += r3[i] * s0;
      o3 += r3[i + 1] * s1;
    }
    V t0 = e0 + o0, t1 = e1 + o1, t2 = e2 + o2, t3 = e3 + o3;
    if (pairs_end < bins) {
      const V s = source[pairs_end];
      t0 += r0[pairs_end] * s;
      t1 += r1[pairs_end] * s;
      t2 += r2[pairs_end] * s;
      t3 += r3[pairs_end] * s;
    }
    coefficient[k] = factor[k] * t0;
    coefficient[k + 1] = factor[k + 1] * t1;
    coefficient[k + 2] = factor[k + 2] * t2;
    coefficient[k + 3] = factor[k + 3] * t3;
  }
  for (; k < modes; ++k) {
    const double* r = step.right + static_cast<std::ptrdiff_t>(k) * bins;
    V e = splat(0.0);
    V o = splat(0.0);
    for (int i = 0; i < pairs_end; i += 2) {
      e += r[i] * source[i];
      o += r[i + 1] * source[i + 1];
    }
    V t = e + o;
    if (pairs_end < bins) t += r[pairs_end] * source[pairs_end];
    coefficient[k] = factor[k] * t;
  }
}

// out_i = 0 + c_0 left_0,i + c_1 left_1,i + ... in ascending k, each lane
// over its own modes only (a lane's other modes leave its value as it is).
// Eight points at a time share the loads of the coefficients.
template <int Block>
inline void combine_block(const ConfinedLaneStep& step, const V* coefficient, V kept, int common,
                          int i, V* out) {
  const int bins = step.bins;
  // Unrolled, so that the accumulators stay in registers.
  V acc[Block];
#pragma GCC unroll 8
  for (int j = 0; j < Block; ++j) acc[j] = splat(0.0);
  for (int k = 0; k < common; ++k) {
    const double* l = step.left + static_cast<std::ptrdiff_t>(k) * bins + i;
    const V c = coefficient[k];
#pragma GCC unroll 8
    for (int j = 0; j < Block; ++j) acc[j] += c * l[j];
  }
  for (int k = common; k < step.modes; ++k) {
    const double* l = step.left + static_cast<std::ptrdiff_t>(k) * bins + i;
    const V c = coefficient[k];
    const Mask use = splat(static_cast<double>(k)) < kept;
#pragma GCC unroll 8
    for (int j = 0; j < Block; ++j) acc[j] = choose(use, acc[j] + c * l[j], acc[j]);
  }
#pragma GCC unroll 8
  for (int j = 0; j < Block; ++j) out[i + j] = acc[j];
}

void confined_step(const ConfinedLaneStep& step) {
  const int bins = step.bins;
  V* source = reinterpret_cast<V*>(step.scratch);
  V* out = source + bins;
  V* coefficient = out + bins;
  const V* factor = reinterpret_cast<const V*>(step.factors);
  gather_rows(step.sources, bins, source);
  mode_coefficients(step, source, factor, coefficient);

  V kept;
  int common = step.modes;
  for (int b = 0; b < W; ++b) {
    kept[b] = static_cast<double>(step.kept[b]);
    if (step.kept[b] < common) common = step.kept[b];
  }
  int i = 0;
  for (; i + 8 <= bins; i += 8) combine_block<8>(step, coefficient, kept, common, i, out);
  for (; i < bins; ++i) combine_block<1>(step, coefficient, kept, common, i, out);

  // The normalisation: the sum in ascending order, then each value divided.
  V sum = splat(0.0);
  for (i = 0; i < bins; ++i) sum += out[i];
  for (int b = 0; b < W; ++b) step.sums[b] = sum[b];
  finish_rows(out, sum, bins, step.destinations, step.weighting);
}

// ---- free diffusion: numeric/fft.cpp and numeric/convolve.cpp ----

// b <- a - w b and a <- a + w b, with w b formed as (wr br - wi bi,
// wr bi + wi br): fft.cpp's butterfly.
inline void butterfly(V& ar, V& ai, V& br, V& bi, double wr, double wi) {
  const V tempr = wr * br - wi * bi;
  const V tempi = wr * bi + wi * br;
  br = ar - tempr;
  bi = ai - tempi;
  ar = ar + tempr;
  ai = ai + tempi;
}

// A complex value of each lane.
struct Complex {
  V re;
  V im;
};

inline void butterfly(Complex& a, Complex& b, const double* w) {
  butterfly(a.re, a.im, b.re, b.im, w[0], w[1]);
}

// The twiddle factors of the passes of one transform, as (re, im) pairs:
// the pass that combines transforms of `half` values uses factor t at
// at(half, t).
struct Twiddles {
  const double* pairs;
  const double* at(int half, int t) const { return pairs + 2 * (half - 1 + t); }
};

// The passes on eight values x[0..7] at distance `half` from each other, at
// offset t within their group: the passes half, 2 half and 4 half (the
// first `Passes` of them) as fft.cpp's passes perform them.
template <int Passes>
inline void radix_eight(Complex (&x)[8], Twiddles w, int half, int t) {
  constexpr int kValues = 1 << Passes;
  const double* w1 = w.at(half, t);
#pragma GCC unroll 4
  for (int j = 0; j < kValues; j += 2) butterfly(x[j], x[j + 1], w1);
  if constexpr (Passes >= 2) {
    const double* w2 = w.at(2 * half, t);
    const double* w2h = w.at(2 * half, t + half);
#pragma GCC unroll 2
    for (int g = 0; g < kValues; g += 4) {
      butterfly(x[g], x[g + 2], w2);
      butterfly(x[g + 1], x[g + 3], w2h);
    }
  }
  if constexpr (Passes >= 3) {
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) butterfly(x[j], x[j + 4], w.at(4 * half, t + j * half));
  }
}

// The passes half, 2 half and 4 half (or the first `Passes` of them) over
// positions [first, first + count) of x in place, in one sweep: each value
// is loaded and stored once for all of them.
template <int Passes>
void passes_in_place(Twiddles w, int half, Complex* x, int first, int count) {
  constexpr int kValues = 1 << Passes;
  const int span = half * kValues;  // a group of the last pass
  for (int g = first; g < first + count; g += span) {
    Complex* group = x + g;
    for (int t = 0; t < half; ++t) {
      Complex v[8];
#pragma GCC unroll 8
      for (int j = 0; j < kValues; ++j) v[j] = group[t + j * half];
      radix_eight<Passes>(v, w, half, t);
#pragma GCC unroll 8
      for (int j = 0; j < kValues; ++j) group[t + j * half] = v[j];
    }
  }
}

// The passes from `half` on up to and excluding `end`, three at a time where
// they can.
void passes_from(Twiddles w, int half, int end, Complex* x, int first, int count) {
  for (; 8 * half <= end; half *= 8) passes_in_place<3>(w, half, x, first, count);
  if (4 * half <= end) {
    passes_in_place<2>(w, half, x, first, count);
    half *= 4;
  }
  if (2 * half <= end) passes_in_place<1>(w, half, x, first, count);
}

// Positions per cache block: a block fills 32 KiB, so that the passes with
// small groups run on it in the first-level cache.
constexpr int kBlockPositions = 2048 / W;

// The complex transform of nn values (nn >= 8), value j of the input being
// input(j), as fft.cpp forms it: the bit-reversal
// reordering, then radix-2 passes half = 1, 2, 4, ..., nn/2; the result in
// x in natural order.  The first three passes run on the way from the
// input, eight positions at a time: positions p..p+7 (p a multiple of 8)
// hold the natural indices reversed[p] + {0, 4, 2, 6, 1, 5, 3, 7} nn/8.
// Then the passes with groups up to a cache block run block by block, and
// the rest over everything.  The butterflies are fft.cpp's, whatever order
// the independent ones run in.
template <typename Input>
void transform(Twiddles w, int nn, const std::int32_t* reversed, Input input, Complex* x) {
  const int block = nn < kBlockPositions ? nn : kBlockPositions;
  const int eighth = nn / 8;
  const int offsets[8] = {0,      4 * eighth, 2 * eighth, 6 * eighth,
                          eighth, 5 * eighth, 3 * eighth, 7 * eighth};
  for (int first = 0; first < nn; first += block) {
    for (int p = first; p < first + block; p += 8) {
      const int at = reversed[p];
      Complex v[8];
#pragma GCC unroll 8
      for (int j = 0; j < 8; ++j) v[j] = input(at + offsets[j]);
      radix_eight<3>(v, w, 1, 0);
#pragma GCC unroll 8
      for (int j = 0; j < 8; ++j) x[p + j] = v[j];
    }
    passes_from(w, 8, block, x, first, block);
  }
  passes_from(w, block, nn, x, 0, nn);
}

// convolve.cpp's spectrum_product for 0 < k < n/2.
inline Complex spectrum_product(V x1, V y1, V x2, V y2, double inverse_h) {
  const V rep = 0.5 * (x1 + x2);
  const V rem = 0.5 * (x1 - x2);
  const V aip = 0.5 * (y1 + y2);
  const V aim = 0.5 * (y1 - y2);
  const V xr = rep;
  const V xi = aim;
  const V yr = aip;
  const V yi = -rem;
  return {(xr * yr - xi * yi) * inverse_h, (xi * yr + xr * yi) * inverse_h};
}

// convolve.cpp's edge_product, real part only (all its caller uses).
inline V edge_product_re(const Complex* z, int k, double inverse_h) {
  V xr, xi, yr, yi;
  if (k == 0) {
    xr = z[0].re;
    xi = splat(0.0);
    yr = z[0].im;
    yi = splat(0.0);
  } else {
    const V x1 = z[k].re;
    const V y1 = z[k].im;
    xr = 0.5 * (x1 + x1);
    xi = -(0.5 * (y1 - y1));
    yr = 0.5 * (y1 + y1);
    yi = 0.5 * (x1 - x1);
  }
  return (xr * yr - xi * yi) * inverse_h;
}

// convolve.cpp's untangle_pair.
inline void untangle_pair(Complex pk, Complex pm, double wr, double wi, Complex& qk, Complex& qm) {
  const double c1 = 0.5;
  const double c2 = 0.5;
  const V h1r = c1 * (pk.re + pm.re);
  const V h1i = c1 * (pk.im - pm.im);
  const V h2r = -c2 * (pk.im + pm.im);
  const V h2i = c2 * (pk.re - pm.re);
  qk.re = h1r + wr * h2r - wi * h2i;
  qk.im = h1i + wr * h2i + wi * h2r;
  qm.re = h1r - wr * h2r + wi * h2i;
  qm.im = -h1i + wr * h2i + wi * h2r;
}

// convolve.cpp's products_to_half_length, reading the joint spectrum z (n
// values) and writing q_0..q_{nn-1} to q, both in natural order.
void products_to_half_length(const LaneFftPlan& plan, const Complex* z, Complex* q) {
  const int n = plan.n;
  const int nn = n >> 1;
  const double inverse_h = 1.0 / static_cast<double>(nn);
  const int pairs_end = nn >> 1;
  for (int k = 1; k < pairs_end; ++k) {
    const int m = nn - k;
    const Complex pk = spectrum_product(z[k].re, z[k].im, z[n - k].re, z[n - k].im, inverse_h);
    const Complex pm = spectrum_product(z[m].re, z[m].im, z[n - m].re, z[n - m].im, inverse_h);
    untangle_pair(pk, pm, plan.untangle_re[k - 1], plan.untangle_im[k - 1], q[k], q[m]);
  }
  if (nn >= 2) {
    const int middle = nn >> 1;
    q[middle] =
        spectrum_product(z[middle].re, z[middle].im, z[n - middle].re, z[n - middle].im, inverse_h);
  }
  const double c1 = 0.5;
  const V d1 = edge_product_re(z, 0, inverse_h);
  const V nyquist = edge_product_re(z, nn, inverse_h);
  q[0] = {c1 * (d1 + nyquist), c1 * (d1 - nyquist)};
}

// The responses of the lanes from their weights, lags 0..extent-1, W lags at
// a time: lag j at index j and at its mirror n - j, 0 from each lane's count
// of weights on.  Data movement only.
void spread_responses(const FreeLaneStep& step, V* response) {
  const int n = step.plan->n;
  const int extent = step.extent;
  V lag;
  V count;
  for (int b = 0; b < W; ++b) {
    lag[b] = b;
    count[b] = step.counts[b];
  }
  int j = 0;
  for (; j + W <= extent; j += W, lag += static_cast<double>(W)) {
    V r[W];
#pragma GCC unroll 8
    for (int b = 0; b < W; ++b) {
      const Mask weighs = lag < splat(count[b]);
      r[b] = reinterpret_cast<V>(reinterpret_cast<Mask>(load_any(step.weights[b] + j)) & weighs);
    }
    transpose(r);
#pragma GCC unroll 8
    for (int e = 0; e < W; ++e) {
      response[j + e] = r[e];
      if (j + e > 0) response[n - j - e] = r[e];
    }
  }
  for (; j < extent; ++j) {
    V v;
    for (int b = 0; b < W; ++b) v[b] = j < step.counts[b] ? step.weights[b][j] : 0.0;
    response[j] = v;
    if (j > 0) response[n - j] = v;
  }
}

void free_step(const FreeLaneStep& step) {
  const LaneFftPlan& plan = *step.plan;
  const int n = plan.n;
  const int nn = n >> 1;
  const int bins = step.bins;
  V* data = reinterpret_cast<V*>(step.data);
  V* response = reinterpret_cast<V*>(step.responses);
  spread_responses(step, response);
  Complex* z = reinterpret_cast<Complex*>(step.scratch);  // n values
  Complex* q = z + n;                                     // nn values
  gather_rows(step.sources, bins, data);
  // The data enters as the real parts, the response as the imaginary parts.
  transform(
      {plan.forward_pairs}, n, plan.reversed,
      [data, response](int j) {
        return Complex{data[j], response[j]};
      },
      z);
  products_to_half_length(plan, z, q);
  // The inverse transform of nn values; value k of the result is entries 2k
  // (real part) and 2k + 1 (imaginary part) of the convolution.
  Complex* x = z;
  transform(
      {plan.inverse_pairs}, nn, plan.reversed_half, [q](int k) { return q[k]; }, x);

  // The normalisation over the first bins entries, in ascending order.
  const V* result = reinterpret_cast<const V*>(x);
  V sum = splat(0.0);
  for (int i = 0; i < bins; ++i) sum += result[i];
  for (int b = 0; b < W; ++b) step.sums[b] = sum[b];
  finish_rows(result, sum, bins, step.destinations, step.weighting);
}

void kernel_exponents(double width, double spacings, double spread, int first, int count,
                      double* out) {
  V lag;
  for (int b = 0; b < W; ++b) lag[b] = static_cast<double>(first + b);
  int k = 0;
  for (; k + W <= count; k += W, lag += static_cast<double>(W)) {
    const V x = width * lag / spacings;
    store_any(out + k, x * x / spread);
  }
  for (; k < count; ++k) {
    const double x = width * static_cast<double>(first + k) / spacings;
    out[k] = x * x / spread;
  }
}

#undef PELMORA_PICK

}  // namespace

extern const LaneKernels PELMORA_LANE_TABLE;
const LaneKernels PELMORA_LANE_TABLE = {W, &confined_step, &free_step, &kernel_exponents};

}  // namespace pelmora
