#include "numeric/lane_convolution.h"

#include <cassert>

#include "numeric/unit_offset.h"

namespace pelmora {

namespace {

std::vector<std::int32_t> bit_reversal(int count) {
  int bits = 0;
  while ((1 << bits) < count) ++bits;
  std::vector<std::int32_t> reversed(static_cast<std::size_t>(count));
  for (int j = 0; j < count; ++j) {
    int r = 0;
    for (int b = 0; b < bits; ++b) r |= ((j >> b) & 1) << (bits - 1 - b);
    reversed[static_cast<std::size_t>(j)] = r;
  }
  return reversed;
}

// The twiddle factors of every pass of a transform as (re, im) pairs.
std::vector<double> twiddle_pairs(const FftTables& tables) {
  const int nn = tables.length();
  std::vector<double> pairs(2 * static_cast<std::size_t>(nn));
  for (int half = 1; half < nn; half *= 2) {
    for (int t = 0; t < half; ++t) {
      const std::size_t at = 2 * static_cast<std::size_t>(half - 1 + t);
      pairs[at] = tables.twiddle_re(half)[t];
      pairs[at + 1] = tables.twiddle_im(half)[t];
    }
  }
  return pairs;
}

}  // namespace

LaneConvolutionTables::LaneConvolutionTables(int n)
    : tables_(n), reversed_(bit_reversal(n)), reversed_half_(bit_reversal(n / 2)) {
  assert(is_power_of_two(n) && n >= kShortest);
  plan_.n = n;
  forward_pairs_ = twiddle_pairs(tables_.forward());
  inverse_pairs_ = twiddle_pairs(tables_.inverse());
  plan_.forward_pairs = forward_pairs_.data();
  plan_.inverse_pairs = inverse_pairs_.data();
  plan_.untangle_re = tables_.inverse().untangle_re();
  plan_.untangle_im = tables_.inverse().untangle_im();
  plan_.reversed = reversed_.data();
  plan_.reversed_half = reversed_half_.data();
}

}  // namespace pelmora
