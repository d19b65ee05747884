#include "engine/photon_chain.h"

#include <algorithm>
#include <cassert>

#include "state/run_state.h"

namespace pelmora {

const DVector& colour_probability(const RunState& state, int k) {
  return state.photons.photon_types[k] == kDonorPhoton ? state.grid.one_minus_efficiency
                                                       : state.grid.efficiency;
}

PhotonChain::PhotonChain(const RunState& state, ScanDirection direction, FftWorkspace& workspace,
                         double diff_coeff)
    : state_(state),
      direction_(direction),
      workspace_(workspace),
      grid_{state.settings.internal_bins, state.settings.internal_rmin,
            state.settings.internal_rmax},
      diff_coeff_(diff_coeff),
      bins_(static_cast<std::size_t>(state.settings.internal_bins)),
      weighted_(dvector(0, state.settings.internal_bins + 1)),
      propagated_(dvector(0, state.settings.internal_bins + 1)) {}

int PhotonChain::first_photon() const {
  return direction_ == ScanDirection::kForward ? 0 : state_.photons.photon_count - 1;
}

bool PhotonChain::start() {
  photon_ = first_photon();
  most_negative_ = 0.0;
  const DVector& colour = colour_probability(state_, photon_);
  const int bins = grid_.bins;
  for (int i = 0; i < bins; ++i) weighted_[i] = colour[i];
  if (!propagate(workspace_, grid_, diff_coeff_, weighted(), propagated_.span(), 0.0)) {
    return false;
  }
  for (int i = 0; i < bins; ++i) weighted_[i] = propagated_[i];
  return true;
}

bool PhotonChain::advance(int k) {
  assert(k == next_photon(photon_));
  const DVector& time = state_.photons.photon_times;
  // Always the later time minus the earlier one.
  const double step =
      direction_ == ScanDirection::kForward ? time[k] - time[photon_] : time[photon_] - time[k];
  photon_ = k;
  if (!propagate(workspace_, grid_, diff_coeff_, weighted(), propagated_.span(), step)) {
    return false;
  }
  const DVector& colour = colour_probability(state_, k);
  const int bins = grid_.bins;
  double most_negative = most_negative_;
  for (int i = 0; i < bins; ++i) {
    weighted_[i] = propagated_[i] * colour[i];
    most_negative = std::min(most_negative, propagated_[i]);
  }
  most_negative_ = most_negative;
  return true;
}

void PhotonChain::resume(int k, std::span<const double> weighted) {
  photon_ = k;
  for (std::size_t i = 0; i < bins_; ++i) weighted_.data()[i] = weighted[i];
}

}  // namespace pelmora
