#include "engine/propagator.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>

#include "numeric/convolve.h"
#include "numeric/lanes.h"
#include "numeric/unit_offset.h"
#include "state/analysis_settings.h"

namespace pelmora {

namespace {

// Beyond this exponent the kernel weight is taken as exactly 0 and exp is
// not evaluated.
constexpr double kKernelCutoff = 100.0;

bool usable_sum(double sum) {
  return sum > 0.0 && std::isfinite(sum);
}

}  // namespace

void kernel_exponents(double width, double spacings, double spread, int first, int count,
                      double* out) {
  // Two at a time, ahead of the exp calls, which then run back to back.
  int k = 0;
  for (; k + 2 <= count; k += 2) {
    const Lanes lag{static_cast<double>(first + k), static_cast<double>(first + k + 1)};
    const Lanes x = broadcast(width) * lag / broadcast(spacings);
    store_lanes(out + k, x * x / broadcast(spread));
  }
  for (; k < count; ++k) {
    const double x = width * (first + k) / spacings;
    out[k] = x * x / spread;
  }
}

int kernel_weights(int n, const PropagationGrid& grid, double diff_coeff, double dt, double* weight,
                   ExponentBlock exponents) {
  const double width = (grid.rmax - grid.rmin) * 1e-9;  // metres
  const double spread = 4 * diff_coeff * dt * 1e-6;     // dt in seconds
  const double spacings = grid.bins - 1;
  const int half = n / 2;
  // The exponents of a block of lags are formed ahead of the exp calls.
  constexpr int kBlock = 64;
  double exponent[kBlock];
  int j = 0;
  while (j <= half) {
    const int count = std::min(kBlock, half + 1 - j);
    exponents(width, spacings, spread, j, count, exponent);
    for (int k = 0; k < count; ++k, ++j) {
      // e grows with j, so once past the cutoff every further weight is 0.
      if (!(exponent[k] < kKernelCutoff)) return j;
      weight[j] = std::exp(-exponent[k]);
    }
  }
  return j;
}

namespace {

// Diffusion kernel exp(-x^2 / (4 D dt)) in wrap-around order, unnormalised:
// kernel[j+1] is the weight of a displacement of +j spacings, kernel[n+1-j]
// that of -j spacings.
void build_kernel(const UnitOffset<double>& kernel, int n, const PropagationGrid& grid,
                  double diff_coeff, double dt) {
  const int half = n / 2;
  int j = kernel_weights(n, grid, diff_coeff, dt, &kernel[1]);
  for (; j <= half; ++j) kernel[j + 1] = 0.0;
  for (j = 1; j <= half; ++j) kernel[n + 1 - j] = kernel[j + 1];
}

// to[i] = from[i] / divisor for i = 0..count-1, two at a time; to may be from.
void divide(const double* from, double* to, int count, double divisor) {
  const Lanes by = broadcast(divisor);
  int i = 0;
  for (; i + 2 <= count; i += 2) store_lanes(to + i, load_lanes(from + i) / by);
  for (; i < count; ++i) to[i] = from[i] / divisor;
}

}  // namespace

FftWorkspace make_fft_workspace(int bins) {
  FftWorkspace workspace;
  const int n = fft_length_for(bins);
  workspace.fft_length = n;
  workspace.fft_data = dvector(1, n);
  workspace.fft_kernel = dvector(1, n);
  workspace.fft_result = dvector(1, 2 * n);
  workspace.spectrum = dvector(1, 2 * n);
  workspace.tables = ConvolutionTables(n);
  workspace.mode_coefficients = dvector(0, bins);
  return workspace;
}

bool propagate(FftWorkspace& workspace, const PropagationGrid& grid, double diff_coeff,
               std::span<const double> source, std::span<double> destination, double dt) {
  const int bins = grid.bins;
  assert(dt >= 0.0);
  assert(source.size() >= static_cast<std::size_t>(bins));
  assert(destination.size() >= static_cast<std::size_t>(bins));

  if (dt == 0.0) {
    double sum = 0.0;
    for (int i = 0; i < bins; ++i) sum += source[i];
    if (!usable_sum(sum)) return false;
    divide(source.data(), destination.data(), bins, sum);
    return true;
  }

  // An empty source does not give an empty result: the kernel is transformed
  // together with the data, and its rounding residue of about 1e-16 would be
  // normalised into a distribution that was never there.
  const std::span<const double> used = source.first(static_cast<std::size_t>(bins));
  if (std::none_of(used.begin(), used.end(), [](double v) { return v > 0.0; })) return false;

  const int n = workspace.fft_length;
  assert(is_power_of_two(n) && 2 * n > 3 * bins);
  assert(workspace.fft_data.size() >= static_cast<std::size_t>(n) &&
         workspace.fft_kernel.size() >= static_cast<std::size_t>(n) &&
         workspace.fft_result.size() >= static_cast<std::size_t>(2 * n) &&
         workspace.spectrum.size() >= static_cast<std::size_t>(2 * n));
  const UnitOffset<double> data(workspace.fft_data.data());
  const UnitOffset<double> result(workspace.fft_result.data());
  std::copy_n(source.data(), bins, &data[1]);
  std::fill(&data[bins + 1], &data[n] + 1, 0.0);
  // Grid scans step by the same interval again and again: their kernel is
  // built once.  The convolution leaves the kernel as it is.
  const KernelKey key{bins, std::bit_cast<std::uint64_t>(grid.rmin),
                      std::bit_cast<std::uint64_t>(grid.rmax),
                      std::bit_cast<std::uint64_t>(diff_coeff), std::bit_cast<std::uint64_t>(dt)};
  if (!workspace.kernel_valid || !(workspace.kernel_key == key)) {
    build_kernel(UnitOffset<double>(workspace.fft_kernel.data()), n, grid, diff_coeff, dt);
    workspace.kernel_key = key;
    workspace.kernel_valid = true;
  }

  assert(workspace.tables.length() == n);
  convolve(workspace.tables, workspace.fft_data.data(), workspace.fft_kernel.data(),
           workspace.fft_result.data(), workspace.spectrum.data());

  double sum = 0.0;
  for (int i = 1; i <= bins; ++i) sum += result[i];
  if (!usable_sum(sum)) return false;
  divide(&result[1], destination.data(), bins, sum);
  return true;
}

}  // namespace pelmora
