#include "support/engine_fixture.h"

#include "engine/distance_grid.h"
#include "engine/trajectory_analysis.h"

namespace pelmora::testing {

PhotonList photon_list_of(const std::vector<PhotonRecipe>& photons) {
  PhotonList list;
  for (const PhotonRecipe& photon : photons) {
    list.photon_times.push_back(photon.time);
    list.photon_types.push_back(static_cast<std::int8_t>(photon.type));
    (photon.type == kDonorPhoton ? list.donor_count : list.acceptor_count) += 1;
  }
  list.photon_count = static_cast<int>(photons.size());
  if (!photons.empty()) {
    list.start_time = photons.front().time;
    list.end_time = photons.back().time;
  }
  return list;
}

namespace {

AnalysisSettings settings_for(int distance_bins, double min_distance, double max_distance) {
  AnalysisOptions options;
  options.min_distance = min_distance;
  options.max_distance = max_distance;
  options.distance_bins = distance_bins;
  return derive_settings(options);
}

}  // namespace

EngineFixture::EngineFixture(const std::vector<PhotonRecipe>& photons, int distance_bins,
                             double min_distance, double max_distance, double diffusion,
                             int time_bins)
    : settings(settings_for(distance_bins, min_distance, max_distance)),
      photons(photon_list_of(photons)),
      grid(make_distance_grid(settings)),
      fft(make_fft_workspace(settings.internal_bins)),
      diff_coeff(diffusion * 1e-14),
      time_bins(time_bins) {
  cli_.console = console_.console();
}

bool EngineFixture::propagate(std::span<const double> source, std::span<double> destination,
                              double dt) {
  return pelmora::propagate(fft, grid.points, diff_coeff, source, destination, dt);
}

TrajectoryResult EngineFixture::trajectory() {
  return compute_trajectory(photons, grid, diff_coeff, time_bins, engine, observer_);
}

std::string EngineFixture::take_console() {
  std::string text = console_.text().substr(taken_);
  taken_ += text.size();
  return text;
}

std::vector<PhotonRecipe> alternating_photons(const std::vector<double>& times) {
  std::vector<PhotonRecipe> photons;
  for (std::size_t i = 0; i < times.size(); ++i) {
    photons.push_back({times[i], i % 2 == 0 ? kAcceptorPhoton : kDonorPhoton});
  }
  return photons;
}

}  // namespace pelmora::testing
