#include "bursts/bootstrap.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pelmora {

std::uint64_t draw_below(std::uint64_t n, std::mt19937_64& engine) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t limit = kMax - kMax % n;
  std::uint64_t x = engine();
  while (x >= limit) x = engine();
  return x % n;
}

void draw_resample(std::span<int> counts, std::mt19937_64& engine) {
  std::fill(counts.begin(), counts.end(), 0);
  const std::uint64_t n = counts.size();
  for (std::uint64_t k = 0; k < n; ++k) ++counts[draw_below(n, engine)];
}

void weighted_row_sum(std::span<const double> rows, std::size_t cells, std::span<const int> counts,
                      std::span<double> sum) {
  std::fill(sum.begin(), sum.end(), 0.0);
  for (std::size_t b = 0; b < counts.size(); ++b) {
    if (counts[b] == 0) continue;
    const double weight = counts[b];
    const double* row = rows.data() + b * cells;
    for (std::size_t c = 0; c < cells; ++c) sum[c] += weight * row[c];
  }
}

double sorted_quantile(std::span<const double> sorted, double q) {
  const double h = static_cast<double>(sorted.size() - 1) * q;
  const std::size_t below = std::min(static_cast<std::size_t>(std::floor(h)), sorted.size() - 1);
  if (below + 1 >= sorted.size()) return sorted[below];
  return sorted[below] + (h - static_cast<double>(below)) * (sorted[below + 1] - sorted[below]);
}

}  // namespace pelmora
