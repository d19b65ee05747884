#include "engine/confined_propagator.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "numeric/lanes.h"

namespace pelmora {

namespace {

// The same cut-off as the free kernel's: a weight below e^-100 is 0.
constexpr double kModeCutoff = 100.0;

bool usable_sum(double sum) {
  return sum > 0.0 && std::isfinite(sum);
}

// Sum of a[i] * b[i], two lanes side by side, then the tail.
double dot(const double* a, const double* b, int count) {
  Lanes sum = broadcast(0.0);
  int i = 0;
  for (; i + 2 <= count; i += 2) sum += load_lanes(a + i) * load_lanes(b + i);
  double total = sum[0] + sum[1];
  for (; i < count; ++i) total += a[i] * b[i];
  return total;
}

// to[i] += factor * from[i].
void add_scaled(double* to, const double* from, double factor, int count) {
  const Lanes f = broadcast(factor);
  int i = 0;
  for (; i + 2 <= count; i += 2) store_lanes(to + i, load_lanes(to + i) + f * load_lanes(from + i));
  for (; i < count; ++i) to[i] += factor * from[i];
}

}  // namespace

int mode_factors(const DiffusionModes& modes, double diff_coeff, double dt, double* factor) {
  // D in m^2/s times dt in us, in nm^2.
  const double spread = diff_coeff * dt * 1e12;
  int kept = 0;
  for (; kept < modes.modes; ++kept) {
    const double exponent = modes.rates[static_cast<std::size_t>(kept)] * spread;
    if (!(exponent < kModeCutoff)) break;  // the rates ascend: so do the rest
    factor[kept] = std::exp(-exponent);
  }
  return kept;
}

bool propagate_confined(FftWorkspace& workspace, const DiffusionModes& modes, double diff_coeff,
                        std::span<const double> source, std::span<double> destination, double dt) {
  const int bins = modes.bins;
  assert(dt >= 0.0);
  assert(source.size() >= static_cast<std::size_t>(bins));
  assert(destination.size() >= static_cast<std::size_t>(bins));
  assert(workspace.mode_coefficients.size() >= static_cast<std::size_t>(bins));
  const std::size_t m = static_cast<std::size_t>(bins);

  if (dt == 0.0) {
    double sum = 0.0;
    for (int i = 0; i < bins; ++i) sum += source[i];
    if (!usable_sum(sum)) return false;
    for (int i = 0; i < bins; ++i) destination[i] = source[i] / sum;
    return true;
  }
  const std::span<const double> used = source.first(m);
  if (std::none_of(used.begin(), used.end(), [](double v) { return v > 0.0; })) return false;

  double* coefficient = workspace.mode_coefficients.data();
  const int kept = mode_factors(modes, diff_coeff, dt, coefficient);
  for (int k = 0; k < kept; ++k) {
    coefficient[k] =
        coefficient[k] * dot(&modes.right[static_cast<std::size_t>(k) * m], source.data(), bins);
  }
  // The source is read in full before the destination (maybe the same) is written.
  double* out = destination.data();
  std::fill_n(out, bins, 0.0);
  for (int k = 0; k < kept; ++k) {
    add_scaled(out, &modes.left[static_cast<std::size_t>(k) * m], coefficient[k], bins);
  }
  double sum = 0.0;
  for (int i = 0; i < bins; ++i) sum += out[i];
  if (!usable_sum(sum)) return false;
  const Lanes by = broadcast(sum);
  int i = 0;
  for (; i + 2 <= bins; i += 2) store_lanes(out + i, load_lanes(out + i) / by);
  for (; i < bins; ++i) out[i] /= sum;
  return true;
}

}  // namespace pelmora

namespace pelmora {

void weigh_by_equilibrium(std::span<double> values, const DiffusionModes& modes) {
  for (int i = 0; i < modes.bins; ++i)
    values[static_cast<std::size_t>(i)] *= modes.equilibrium[static_cast<std::size_t>(i)];
}

}  // namespace pelmora
