// One propagation step per lane on each instruction set (LanePropagator),
// against the scalar path: free diffusion at the default grid (M = 1200,
// n = 2048) and a confined model (chain:6) at M = 50 and 128.  Every lane
// carries its own source, coefficient and step, as the bursts of a joint
// scan do, so every free lane builds its kernel (a few hundred exp calls)
// and every confined lane forms its factors (M exp calls).
//
// Reported per call of `lanes` steps; the counter us_per_step is the time of
// one step.  For the confined model, GMAdd_per_s counts the 2 M K
// multiply-adds of each step (K = M here: every mode is kept).
//
// usage: lane_step_bench [--benchmark_...]; the path and model are
// arguments of the benchmark (path 0 scalar, 1 sse2, 2 avx2, 3 avx512;
// model 0 free, 1 chain:6).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/distance_grid.h"
#include "engine/lane_propagator.h"
#include "engine/model_grid.h"

namespace pelmora {
namespace {

DistanceGrid grid_of(int model, int bins) {
  AnalysisOptions options;
  options.distance_bins = model == 0 ? bins : 400;
  AnalysisSettings settings = derive_settings(options);
  if (model == 0) return make_distance_grid(settings);
  settings.distance_bins = bins;
  DistanceModel chain;
  chain.shape = GaussianChain{6};
  chain.text = "chain:6";
  return make_model_grid(settings, chain);
}

void BM_LaneStep(benchmark::State& state) {
  const SimdPath path = static_cast<SimdPath>(state.range(0));
  if (!simd_path_available(path)) {
    state.SkipWithError("path not available on this processor");
    return;
  }
  const int model = static_cast<int>(state.range(1));
  const DistanceGrid grid = grid_of(model, static_cast<int>(state.range(2)));
  const int bins = grid.points.bins;
  LanePropagator propagator(grid, path);
  const int lanes = propagator.lanes();
  std::vector<std::vector<double>> sources(static_cast<std::size_t>(lanes));
  std::vector<std::vector<double>> outs(static_cast<std::size_t>(lanes),
                                        std::vector<double>(static_cast<std::size_t>(bins)));
  std::vector<LaneStep> steps(static_cast<std::size_t>(lanes));
  for (int b = 0; b < lanes; ++b) {
    std::vector<double>& source = sources[static_cast<std::size_t>(b)];
    source.resize(static_cast<std::size_t>(bins));
    for (int i = 0; i < bins; ++i) {
      const double a = (i - bins / 2.0 - b) / (bins / 10.0);
      source[static_cast<std::size_t>(i)] = 1 / (1 + a * a);
    }
  }
  std::vector<char> ok(static_cast<std::size_t>(lanes));
  int call = 0;
  for (auto _ : state) {
    for (int b = 0; b < lanes; ++b) {
      // 20 us give or take: a photon spacing in a burst, new for every call.
      const double dt = 20.0 + 0.01 * ((call * lanes + b) % 97);
      steps[static_cast<std::size_t>(b)] = {sources[static_cast<std::size_t>(b)].data(),
                                            outs[static_cast<std::size_t>(b)].data(), 1e-14, dt};
    }
    propagator.propagate(steps, ok);
    ++call;
    benchmark::DoNotOptimize(outs.data());
    benchmark::ClobberMemory();
  }
  const double steps_done = static_cast<double>(state.iterations()) * lanes;
  state.counters["us_per_step"] = benchmark::Counter(
      steps_done * 1e-6, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (model != 0) {
    state.counters["GMAdd_per_s"] = benchmark::Counter(
        steps_done * 2.0 * bins * grid.modes->modes * 1e-9, benchmark::Counter::kIsRate);
  }
}

double smallest(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

BENCHMARK(BM_LaneStep)
    ->ArgNames({"path", "model", "bins"})
    ->ArgsProduct({{0, 1, 2, 3}, {0}, {400}})
    ->ArgsProduct({{0, 1, 2, 3}, {1}, {50, 128}})
    ->ComputeStatistics("min", smallest)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pelmora

BENCHMARK_MAIN();
