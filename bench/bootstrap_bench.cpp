// Cost of the estimate of D with its bootstrap interval: 1000 resamples of
// the stored per-burst log L of 1000 bursts, on a grid of 21 coefficients
// and on one of 21 coefficients x 13 values of a model parameter.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "bursts/d_estimate.h"
#include "engine/scan_arithmetic.h"

namespace pelmora {
namespace {

LikelihoodGrid grid_of(int parameter_values) {
  LikelihoodGrid grid;
  grid.coefficients = {"D_m2_per_s", log_spaced_coefficients(1e-15, 1e-13, 21),
                       AxisScale::kLogarithmic};
  if (parameter_values > 1) {
    std::vector<double> rms;
    for (int j = 0; j < parameter_values; ++j) rms.push_back(4 + 0.5 * j);
    grid.parameter = GridAxis{"rms_nm", rms, AxisScale::kLinear};
  }
  return grid;
}

// Per-burst log L: parabolas in ln D (and in the parameter) around scattered centres.
AnalysedBursts synthetic_bursts(const LikelihoodGrid& grid, int bursts) {
  std::mt19937_64 random(2026);
  std::normal_distribution<double> normal(0.0, 1.0);
  AnalysedBursts table;
  table.cells = grid.cells();
  const std::size_t columns = grid.parameter ? grid.parameter->values.size() : 1;
  for (int b = 0; b < bursts; ++b) {
    const double centre = std::log(1e-14) + 0.7 * normal(random);
    const double rms = 7 + 1.5 * normal(random);
    for (const double d : grid.coefficients.values) {
      for (std::size_t j = 0; j < columns; ++j) {
        const double x = std::log(d) - centre;
        const double y = grid.parameter ? grid.parameter->values[j] - rms : 0.0;
        table.rows.push_back(-x * x / 0.5 - y * y / 8.0 - 120.0);
      }
    }
    ++table.count;
  }
  return table;
}

void BM_EstimateWithBootstrap(benchmark::State& state) {
  const LikelihoodGrid grid = grid_of(static_cast<int>(state.range(1)));
  const AnalysedBursts bursts = synthetic_bursts(grid, static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(estimate_joint(bursts, grid, {1000, 1}));
  state.counters["cells"] = static_cast<double>(grid.cells());
}

BENCHMARK(BM_EstimateWithBootstrap)
    ->Args({1000, 1})
    ->Args({300, 1})
    ->Args({1000, 13})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pelmora

BENCHMARK_MAIN();
