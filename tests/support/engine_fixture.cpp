#include "support/engine_fixture.h"


#include "engine/distance_grid.h"

namespace pelmora::testing {

EngineFixture::EngineFixture(const std::vector<PhotonSpec>& photons, int distance_bins,
                             double min_distance, double max_distance, double diffusion,
                             bool scan_mode, int time_bins) {
  state_.console = console_.console();

  RunSettings& s = state_.settings;
  s.foerster_radius = 6.5;
  s.min_distance = min_distance;
  s.max_distance = max_distance;
  s.distance_bins = distance_bins;
  s.scan_mode = scan_mode;
  s.diff_coeff = scan_mode ? 0.0 : diffusion * 1e-14;
  s.time_bins = time_bins;
  s.internal_rmin = min_distance - (max_distance - min_distance);
  s.internal_rmax = max_distance + (max_distance - min_distance);
  s.internal_bins = 3 * distance_bins;
  s.internal_time_bins = time_bins + 2;

  PhotonList& list = state_.photons;
  const int count = static_cast<int>(photons.size());
  list.photon_times = dvector(0, count + 2);
  list.photon_types = ivector(0, count + 2);
  list.photon_count = count;
  for (int i = 0; i < count; ++i) {
    list.photon_times[i] = photons[static_cast<std::size_t>(i)].time;
    list.photon_types[i] = photons[static_cast<std::size_t>(i)].type;
    (list.photon_types[i] == kDonorPhoton ? list.donor_count : list.acceptor_count) += 1;
  }
  list.start_time = list.photon_times[0];
  list.end_time = list.photon_times[count - 1];

  init_distance_grid(state_);
  init_fft_arrays(state_);
}

std::string EngineFixture::take_console() {
  std::string text = console_.text().substr(taken_);
  taken_ += text.size();
  return text;
}

std::vector<PhotonSpec> alternating_photons(const std::vector<double>& times) {
  std::vector<PhotonSpec> photons;
  for (std::size_t i = 0; i < times.size(); ++i) {
    photons.push_back({times[i], i % 2 == 0 ? kAcceptorPhoton : kDonorPhoton});
  }
  return photons;
}

}  // namespace pelmora::testing
