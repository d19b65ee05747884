// One evaluation of log L over every burst of a measurement in a confined
// model, called on the engine directly (scan_bursts, one coefficient), as the
// joint scan and pelmora.scan evaluate it: µs per photon and the rate of the
// steps' multiply-adds.
//
// usage: confined_eval_bench MEASUREMENT.h5 MODEL D THREADS REPEATS BINS...
//   MODEL    e.g. chain:6
//   D        the coefficient in 1e-14 m^2/s, or FROM:TO:COUNT for COUNT of
//            them log-spaced (as -Dmin FROM -Dmax TO -n COUNT)
//   THREADS  worker threads
//   REPEATS  evaluations per grid (the best is the least disturbed)
//   BINS     grid sizes M
// The instruction set follows PELMORA_SIMD as in the programs.  Bursts come
// from the burst search with its defaults and no background is mixed in.
// The multiply-adds of a step are 2 M K (K: the modes it keeps), over both
// passes of every gap; "GMAdd/s" is their count over the wall time.  "us per
// photon" is the wall time over the photons of the analysed bursts and the
// coefficients.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pelmora/machine_options.h"
#include "pelmora/measurement.h"

namespace {

using namespace pelmora;

// The modes a step of dt keeps, as mode_factors counts them (without its
// exp calls).
int kept_modes(const DiffusionModes& modes, double diff_coeff, double dt) {
  const double spread = diff_coeff * dt * 1e12;
  int kept = 0;
  while (kept < modes.modes && modes.rates[static_cast<std::size_t>(kept)] * spread < 100.0) ++kept;
  return kept;
}

double multiply_adds(const std::vector<PhotonList>& bursts, const DiffusionModes& modes,
                     double diff_coeff) {
  double total = 0;
  for (const PhotonList& burst : bursts) {
    if (burst.photon_count < 3) continue;
    for (int j = 0; j + 1 < burst.photon_count; ++j) {
      const double dt = burst.photon_times[static_cast<std::size_t>(j) + 1] -
                        burst.photon_times[static_cast<std::size_t>(j)];
      if (dt == 0.0) continue;
      const int kept = kept_modes(modes, diff_coeff, dt);
      total += 2.0 * 2.0 * modes.bins * kept;  // both passes
    }
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) {
    std::fprintf(stderr,
                 "usage: confined_eval_bench MEASUREMENT.h5 MODEL D THREADS REPEATS BINS...\n");
    return 1;
  }
  const Measurement measurement = read_photon_hdf5(argv[1]);
  const DistanceModel model = parse_model_scan(argv[2]).models.front();
  std::vector<double> coefficients;
  {
    double from = 0;
    double to = 0;
    int count = 0;
    if (std::sscanf(argv[3], "%lf:%lf:%d", &from, &to, &count) == 3) {
      coefficients = log_spaced_coefficients(from * 1e-14, to * 1e-14, count);
    } else {
      coefficients = {std::atof(argv[3]) * 1e-14};
    }
  }
  EngineOptions engine = engine_options_for_this_machine();
  engine.threads = std::max(1, std::atoi(argv[4]));
  const int repeats = std::max(1, std::atoi(argv[5]));

  const BurstSearchOptions search;
  const BurstSearchResult found = search_bursts(
      measurement, search, estimate_background(measurement, search.background_window_s));
  std::vector<PhotonList> bursts;
  long long photons = 0;
  for (const Burst& burst : found.bursts) {
    bursts.push_back(burst_photon_list(measurement, burst.window, silent_observer()));
    if (bursts.back().photon_count >= 3) photons += bursts.back().photon_count;
  }
  std::vector<const PhotonList*> pointers;
  for (const PhotonList& burst : bursts) pointers.push_back(&burst);
  // PELMORA_SIMD as the engine options read it (the build before the lane
  // paths has none).
  const char* simd = std::getenv("PELMORA_SIMD");
  std::printf(
      "%zu bursts, %lld photons, %s, %zu values of D from %g m^2/s, %d thread(s), "
      "PELMORA_SIMD=%s\n",
      bursts.size(), photons, argv[2], coefficients.size(), coefficients.front(), engine.threads,
      simd != nullptr ? simd : "(unset)");
  std::printf("%6s %12s %14s %10s %16s\n", "M", "wall [s]", "us per photon", "GMAdd/s", "log L");
  for (int a = 6; a < argc; ++a) {
    AnalysisOptions options;
    options.distance_bins = std::max(std::atoi(argv[a]), kMinDistanceBins);
    AnalysisSettings settings = derive_settings(options);
    settings.distance_bins = std::atoi(argv[a]);
    const DistanceGrid grid = make_model_grid(settings, model);
    double adds = 0;
    for (const double d : coefficients) adds += multiply_adds(bursts, *grid.modes, d);
    double best = 1e300;
    double log_likelihood = 0;
    for (int r = 0; r < repeats; ++r) {
      const auto start = std::chrono::steady_clock::now();
      const JointScan joint =
          scan_bursts(pointers, coefficients, grid, {}, engine, silent_observer());
      const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
      best = std::min(best, wall.count());
      log_likelihood = joint.joint_log_likelihood.front();
    }
    std::printf(
        "%6d %12.3f %14.3f %10.2f %16.10g\n", grid.points.bins, best,
        best * 1e6 / static_cast<double>(photons) / static_cast<double>(coefficients.size()),
        adds / best * 1e-9, log_likelihood);
    std::fflush(stdout);
  }
  return 0;
}
