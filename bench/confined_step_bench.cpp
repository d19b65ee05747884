// One confined step against one free step at the same -d, side by side in
// one run: free diffusion at -d 100 propagates over 300 internal points
// (FFT length 512); a confined model covers its support with the 100 points
// themselves and steps through its modes (two products with an M x K
// matrix, K the modes whose factor has not underflowed).  D = 1e-14 m^2/s;
// 20 us is a photon spacing inside a burst, 2000 us one between bursts'
// photons at their tails (most modes skipped).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "engine/diffusion_step.h"
#include "engine/model_grid.h"

namespace pelmora {
namespace {

DistanceModel model_of(int kind) {
  if (kind == 1) return {GaussianChain{6}, "chain:6"};
  if (kind == 2) return {FlatBox{2, 10}, "box:2:10"};
  return {};
}

void BM_Step(benchmark::State& state) {
  AnalysisOptions options;
  options.distance_bins = static_cast<int>(state.range(0));
  const AnalysisSettings settings = derive_settings(options);
  const DistanceGrid grid = make_model_grid(settings, model_of(static_cast<int>(state.range(2))));
  const double dt = static_cast<double>(state.range(1));
  const int bins = grid.points.bins;
  FftWorkspace workspace = make_fft_workspace(bins);
  std::vector<double> source(static_cast<std::size_t>(bins));
  std::vector<double> destination(source.size());
  for (int i = 0; i < bins; ++i) {
    const double a = (i - bins / 2.0) / (bins / 10.0);
    source[static_cast<std::size_t>(i)] = 1 / (1 + a * a);
  }
  for (auto _ : state) {
    if (!diffusion_step(workspace, grid, 1e-14, source, destination, dt)) std::abort();
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.counters["M"] = bins;
}

double smallest(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

BENCHMARK(BM_Step)
    ->ArgNames({"d", "dt_us", "model"})  // model 0 free, 1 chain:6, 2 box:2:10
    ->Args({100, 20, 0})
    ->Args({100, 20, 1})
    ->Args({100, 20, 2})
    ->Args({100, 2000, 0})
    ->Args({100, 2000, 1})
    ->Args({100, 2000, 2})
    ->ComputeStatistics("min", smallest)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pelmora

BENCHMARK_MAIN();
