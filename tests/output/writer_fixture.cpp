#include "output/writer_fixture.h"

#include <cmath>

#include "output/trajectory_writer.h"

namespace pelmora::testing {

HandBuilt build(const HandBuiltRun& run) {
  HandBuilt built;
  AnalysisOptions options;
  options.min_distance = run.min_distance;
  options.max_distance = run.max_distance;
  options.distance_bins = run.distance_bins;
  built.settings = derive_settings(options);
  built.format = run.eps_output     ? MapFormat::kEps
                 : run.short_format ? MapFormat::kShort
                                    : MapFormat::kPlain;
  built.xmgr = run.xmgr_output;

  PhotonList& photons = built.photons;
  for (std::size_t k = 0; k < run.photon_times.size(); ++k) {
    photons.photon_times.push_back(run.photon_times[k]);
    photons.photon_types.push_back(static_cast<std::int8_t>(run.photon_types[k]));
    (run.photon_types[k] == kDonorPhoton ? photons.donor_count : photons.acceptor_count)++;
  }
  photons.photon_count = static_cast<int>(run.photon_times.size());
  photons.start_time = run.photon_times.front();
  photons.end_time = run.photon_times.back();

  TrajectoryResult& result = built.result;
  const int T = run.time_bins + 2;
  const int M = built.settings.internal_bins;
  result.grid = {M, built.settings.internal_rmin, built.settings.internal_rmax};
  result.time_bins = run.time_bins;
  result.slice_count = T;
  result.t_first = photons.start_time;
  result.t_last = photons.end_time;
  result.forward = dmatrix(0, T + 1, 0, M + 1);
  result.backward = dmatrix(0, T + 1, 0, M + 1);
  for (int i = 0; i <= T + 1; ++i) {
    for (int j = 0; j <= M + 1; ++j) {
      // Cells that no writer may read (the end slices, the spare rows and
      // columns) carry nan, so that reading one shows in the output.
      const bool written = i >= 1 && i <= T - 2 && j < M;
      result.forward[i][j] = written ? run.forward(i, j) : std::nan("");
      result.backward[i][j] = written ? run.backward(i, j) : std::nan("");
    }
  }
  return built;
}

void write_map(const HandBuilt& built, const std::string& path) {
  write_distance_distribution(built.result, built.format, path);
}

void write_trajectory(const HandBuilt& built, const std::string& path) {
  write_average_trajectory(built.result, built.photons, built.settings, built.xmgr, path);
}

std::string write_error(const std::string& path) {
  return "Could not write to file " + path;
}

}  // namespace pelmora::testing
