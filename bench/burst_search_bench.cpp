// Cost of the burst side on a long measurement: the background estimate, the
// search, and the photons of every burst found.
//
// The record: 10^7 photons, about 40 minutes of a 2 kHz background (donor and
// acceptor channel, both excitations) with twenty bursts a second of 100
// photons at 100 kHz, in 12.5-ns ticks.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "bursts/background.h"
#include "bursts/burst_photons.h"
#include "bursts/burst_search.h"

namespace pelmora {
namespace {

constexpr double kUnit = 12.5e-9;

const Measurement& long_measurement() {
  static const Measurement measurement = [] {
    std::mt19937_64 random(2026);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const auto exponential = [&](double rate) { return -std::log1p(-uniform(random)) / rate; };
    std::vector<std::pair<std::int64_t, std::uint8_t>> photons;
    photons.reserve(10'000'000);
    constexpr std::uint8_t kinds[] = {kDonorExcitation, kDonorExcitation | kAcceptorChannel, 0,
                                      kAcceptorChannel};
    double t = 0;
    double next_burst = 0.025;
    while (photons.size() < 10'000'000) {
      t += exponential(2000.0);
      while (next_burst < t) {
        double u = next_burst;
        for (int k = 0; k < 100; ++k, u += exponential(1e5)) {
          photons.emplace_back(static_cast<std::int64_t>(u / kUnit), kinds[random() % 2]);
        }
        next_burst += 0.05;
      }
      photons.emplace_back(static_cast<std::int64_t>(t / kUnit), kinds[random() % 4]);
    }
    std::sort(photons.begin(), photons.end());
    photons.resize(10'000'000);
    Measurement m;
    m.description.timestamps_unit = kUnit;
    for (const auto& [timestamp, flags] : photons) {
      m.timestamps.push_back(timestamp);
      m.flags.push_back(flags);
    }
    return m;
  }();
  return measurement;
}

void BM_EstimateBackground(benchmark::State& state) {
  const Measurement& m = long_measurement();
  for (auto _ : state) benchmark::DoNotOptimize(estimate_background(m, 60.0));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(m.timestamps.size()));
}

void BM_SearchBursts(benchmark::State& state) {
  const Measurement& m = long_measurement();
  const Background background = estimate_background(m, 60.0);
  std::size_t bursts = 0;
  for (auto _ : state) {
    const BurstSearchResult result = search_bursts(m, BurstSearchOptions{}, background);
    bursts = result.bursts.size();
    benchmark::DoNotOptimize(bursts);
  }
  state.counters["bursts"] = static_cast<double>(bursts);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(m.timestamps.size()));
}

void BM_PhotonsOfEveryBurst(benchmark::State& state) {
  const Measurement& m = long_measurement();
  const BurstSearchResult result =
      search_bursts(m, BurstSearchOptions{}, estimate_background(m, 60.0));
  for (auto _ : state) {
    for (const Burst& burst : result.bursts) {
      benchmark::DoNotOptimize(burst_photons(m, burst.window));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(result.bursts.size()));
}

BENCHMARK(BM_EstimateBackground)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchBursts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhotonsOfEveryBurst)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pelmora

BENCHMARK_MAIN();
