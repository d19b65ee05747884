// Cost of one propagation step, the inner loop of every scan.
//
// Arguments: internal grid points M and the step in microseconds.  The range
// is the default internal range, -13 to 26 nm, and D = 1e-14 m^2/s.  A
// realistic step (20 mu s) cuts the kernel off at 8.9 nm; a long one
// (2000 mu s) evaluates exp for every lag up to n/2.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "engine/propagator.h"
#include "numeric/indexed_array.h"

namespace pelmora {
namespace {

void BM_Propagate(benchmark::State& state) {
  const int bins = static_cast<int>(state.range(0));
  const double dt = static_cast<double>(state.range(1));
  const PropagationGrid grid{bins, -13.0, 26.0};
  FftWorkspace workspace = make_fft_workspace(bins);
  DVector source = dvector(0, bins + 1);
  DVector destination = dvector(0, bins + 1);
  // A broad bump in the middle of the grid, as a scan would carry it.
  for (int i = 0; i < bins; ++i) {
    const double a = (i - bins / 2.0) / (bins / 10.0);
    source[i] = 1 / (1 + a * a);
  }
  for (auto _ : state) {
    if (!propagate(workspace, grid, 1e-14, source.span(), destination.span(), dt)) std::abort();
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.counters["fft_length"] = workspace.fft_length;
}

BENCHMARK(BM_Propagate)
    ->ArgNames({"M", "dt_us"})
    ->Args({1200, 20})
    ->Args({1200, 2000})
    ->Args({59997, 20})
    ->Args({59997, 2000})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pelmora

BENCHMARK_MAIN();
