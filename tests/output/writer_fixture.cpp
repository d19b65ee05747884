#include "output/writer_fixture.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace pelmora::testing {

RunState build_state(const HandBuiltRun& run) {
  RunState state;
  RunSettings& s = state.settings;
  s.time_bins = run.time_bins;
  s.distance_bins = run.distance_bins;
  s.min_distance = run.min_distance;
  s.max_distance = run.max_distance;
  s.internal_rmin = run.min_distance - (run.max_distance - run.min_distance);
  s.internal_rmax = run.max_distance + (run.max_distance - run.min_distance);
  s.internal_bins = 3 * run.distance_bins;
  s.internal_time_bins = run.time_bins + 2;
  s.short_format = run.short_format;
  s.eps_output = run.eps_output;
  s.xmgr_output = run.xmgr_output;

  PhotonList& photons = state.photons;
  const int count = static_cast<int>(run.photon_times.size());
  photons.photon_times = dvector(0, count + 2);
  photons.photon_types = ivector(0, count + 2);
  for (int k = 0; k < count; ++k) {
    photons.photon_times[k] = run.photon_times[static_cast<std::size_t>(k)];
    photons.photon_types[k] = run.photon_types[static_cast<std::size_t>(k)];
    (photons.photon_types[k] == kDonorPhoton ? photons.donor_count : photons.acceptor_count)++;
  }
  photons.photon_count = count;
  photons.start_time = run.photon_times.front();
  photons.end_time = run.photon_times.back();

  const int T = s.internal_time_bins;
  const int M = s.internal_bins;
  state.grid_forward = dmatrix(0, T + 1, 0, M + 1);
  state.grid_backward = dmatrix(0, T + 1, 0, M + 1);
  for (int i = 0; i <= T + 1; ++i) {
    for (int j = 0; j <= M + 1; ++j) {
      // Cells that no writer may read (the end slices, the spare rows and
      // columns) carry nan, so that reading one shows in the output.
      const bool written = i >= 1 && i <= T - 2 && j < M;
      state.grid_forward[i][j] = written ? run.forward(i, j) : std::nan("");
      state.grid_backward[i][j] = written ? run.backward(i, j) : std::nan("");
    }
  }
  return state;
}

std::string exactly(const std::string& text) {
  std::string pattern = "^";
  for (char c : text) {
    if (std::string_view(".[]{}()\\*+?^$|").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

std::string write_error(const std::string& announcement, const std::string& path) {
  return announcement + "\n\nERROR: Could not write to file " + path + "\n";
}

}  // namespace pelmora::testing
