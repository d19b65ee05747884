#include "engine/photon_chain.h"

#include <algorithm>
#include <cassert>

namespace pelmora {

PhotonChain::PhotonChain(const DistanceGrid& grid, const PhotonList& photons,
                         ScanDirection direction, FftWorkspace& workspace, double diff_coeff)
    : grid_(grid),
      photons_(&photons),
      direction_(direction),
      workspace_(workspace),
      diff_coeff_(diff_coeff),
      bins_(static_cast<std::size_t>(grid.points.bins)),
      weighted_(dvector(0, grid.points.bins + 1)),
      propagated_(dvector(0, grid.points.bins + 1)) {}

int PhotonChain::first_photon() const {
  return direction_ == ScanDirection::kForward ? 0 : photons_->photon_count - 1;
}

bool PhotonChain::start() {
  photon_ = first_photon();
  most_negative_ = 0.0;
  const DVector& colour = grid_.colour_probability(photons_->photon_types[photon_]);
  const int bins = grid_.points.bins;
  for (int i = 0; i < bins; ++i) weighted_[i] = colour[i];
  if (!propagate(workspace_, grid_.points, diff_coeff_, weighted(), propagated_.span(), 0.0)) {
    return false;
  }
  for (int i = 0; i < bins; ++i) weighted_[i] = propagated_[i];
  return true;
}

bool PhotonChain::advance(int k) {
  assert(k == next_photon(photon_));
  const std::vector<double>& time = photons_->photon_times;
  // Always the later time minus the earlier one.
  const double step =
      direction_ == ScanDirection::kForward ? time[k] - time[photon_] : time[photon_] - time[k];
  photon_ = k;
  if (!propagate(workspace_, grid_.points, diff_coeff_, weighted(), propagated_.span(), step)) {
    return false;
  }
  const DVector& colour = grid_.colour_probability(photons_->photon_types[k]);
  const int bins = grid_.points.bins;
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
