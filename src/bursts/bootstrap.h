// The pieces of a bootstrap over bursts that decide its numbers: which
// bursts a resample draws, how their stored log L are summed, and how the
// resamples' estimates become a percentile interval.  Each is written out
// here rather than taken from the standard library's distributions, whose
// algorithms differ between implementations: a seed gives the same
// resamples and sums with any compiler and standard library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

namespace pelmora {

// A whole number uniform in [0, n) (n >= 1): a 64-bit draw, rejected above
// the largest multiple of n so that no index is favoured, modulo n.
std::uint64_t draw_below(std::uint64_t n, std::mt19937_64& engine);

// How often each of `counts.size()` bursts is drawn into one resample of as
// many bursts with replacement (the draws in order, one after the other).
void draw_resample(std::span<int> counts, std::mt19937_64& engine);

// sum[c] = the sum over rows b in order of counts[b] * rows[b * cells + c],
// rows drawn 0 times skipped; `sum` has `cells` values.  With every count 1
// this is, to the bit, the plain sum of the rows in order.
void weighted_row_sum(std::span<const double> rows, std::size_t cells, std::span<const int> counts,
                      std::span<double> sum);

// The q-quantile (0 <= q <= 1) of sorted values, interpolated linearly
// between the neighbouring order statistics (h = (n - 1) q; the default of
// R and numpy).
double sorted_quantile(std::span<const double> sorted, double q);

}  // namespace pelmora
