// Cost of one propagation step, the inner loop of every scan.
//
// Arguments: internal grid points M, the step in microseconds, and whether
// the step changes from call to call.  The range is the default internal
// range, -13 to 26 nm, and D = 1e-14 m^2/s.  A realistic step (20 mu s) cuts
// the kernel off at 8.9 nm; a long one (2000 mu s) evaluates exp for every
// lag up to n/2.
//
// A step that repeats (as in the grid scans) reuses the kernel of the call
// before; with fresh = 1 the step alternates between two values a few ulps
// apart, as the photon scans' steps do, so that every call builds its kernel.
//
// On a shared machine the mean and median drift with the other load; the min
// aggregate (over --benchmark_repetitions) is the least disturbed figure.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/propagator.h"
#include "numeric/indexed_array.h"

namespace pelmora {
namespace {

void BM_Propagate(benchmark::State& state) {
  const int bins = static_cast<int>(state.range(0));
  const double dt = static_cast<double>(state.range(1));
  const bool fresh = state.range(2) != 0;
  const double steps[2] = {dt, fresh ? std::nextafter(std::nextafter(dt, 0.0), 0.0) : dt};
  const PropagationGrid grid{bins, -13.0, 26.0};
  FftWorkspace workspace = make_fft_workspace(bins);
  DVector source = dvector(0, bins + 1);
  DVector destination = dvector(0, bins + 1);
  // A broad bump in the middle of the grid, as a scan would carry it.
  for (int i = 0; i < bins; ++i) {
    const double a = (i - bins / 2.0) / (bins / 10.0);
    source[i] = 1 / (1 + a * a);
  }
  int call = 0;
  for (auto _ : state) {
    if (!propagate(workspace, grid, 1e-14, source.span(), destination.span(), steps[call & 1]))
      std::abort();
    ++call;
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.counters["fft_length"] = workspace.fft_length;
}

double smallest(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

BENCHMARK(BM_Propagate)
    ->ArgNames({"M", "dt_us", "fresh"})
    ->Args({1200, 20, 0})
    ->Args({1200, 2000, 0})
    ->Args({1200, 20, 1})
    ->Args({1200, 2000, 1})
    ->Args({59997, 20, 0})
    ->Args({59997, 2000, 0})
    ->Args({59997, 2000, 1})
    ->ComputeStatistics("min", smallest)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pelmora

BENCHMARK_MAIN();
