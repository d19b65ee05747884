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

// out[i] = 0 + c_0 left_0[i] + c_1 left_1[i] + ... over the modes k <
// kept, in ascending k.  Eight points at a time stay in registers across all
// modes and are stored once: with a store per mode, a load from a mode's row
// whose address matched a pending store's in its last 12 bits (4 KiB apart)
// would wait for that store, and how often that happens depends on where the
// allocator put the arrays (the same steps took half again as long in one
// process as in another).
void combine_modes(const double* left, const double* coefficient, int kept, int bins, double* out) {
  const std::size_t m = static_cast<std::size_t>(bins);
  int i = 0;
  for (; i + 8 <= bins; i += 8) {
    Lanes a0 = broadcast(0.0), a1 = a0, a2 = a0, a3 = a0;
    for (int k = 0; k < kept; ++k) {
      const double* l = left + static_cast<std::size_t>(k) * m + i;
      const Lanes c = broadcast(coefficient[k]);
      a0 = a0 + c * load_lanes(l);
      a1 = a1 + c * load_lanes(l + 2);
      a2 = a2 + c * load_lanes(l + 4);
      a3 = a3 + c * load_lanes(l + 6);
    }
    store_lanes(out + i, a0);
    store_lanes(out + i + 2, a1);
    store_lanes(out + i + 4, a2);
    store_lanes(out + i + 6, a3);
  }
  for (; i < bins; ++i) {
    double a = 0.0;
    for (int k = 0; k < kept; ++k) a += coefficient[k] * left[static_cast<std::size_t>(k) * m + i];
    out[i] = a;
  }
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
  combine_modes(modes.left.data(), coefficient, kept, bins, out);
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
