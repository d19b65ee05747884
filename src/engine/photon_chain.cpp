#include "engine/photon_chain.h"

#include <algorithm>
#include <cassert>

#include "engine/diffusion_step.h"

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
      propagated_(dvector(0, grid.points.bins + 1)),
      propagated_row_(propagated_.span().first(bins_)) {}

int PhotonChain::first_photon() const {
  return direction_ == ScanDirection::kForward ? 0 : photons_->photon_count - 1;
}

LaneStep PhotonChain::start_step() {
  photon_ = first_photon();
  most_negative_ = 0.0;
  const DVector& colour = colour_probability(grid_, *photons_, photons_->photon_types[photon_]);
  const int bins = grid_.points.bins;
  for (int i = 0; i < bins; ++i) weighted_[i] = colour[i];
  if (grid_.modes) weigh_by_equilibrium(weighted_.span().first(bins_), *grid_.modes);
  propagated_row_ = propagated_.span().first(bins_);
  return {weighted_.data(), propagated_.data(), diff_coeff_, 0.0};
}

void PhotonChain::started() {
  const int bins = grid_.points.bins;
  for (int i = 0; i < bins; ++i) weighted_[i] = propagated_[i];
}

bool PhotonChain::start() {
  if (!take_step(workspace_, grid_, start_step())) return false;
  started();
  return true;
}

LaneStep PhotonChain::step_to(int k, std::span<double> row) {
  assert(k == next_photon(photon_));
  assert(row.empty() || row.size() == bins_);
  const std::vector<double>& time = photons_->photon_times;
  // Always the later time minus the earlier one.
  const double step =
      direction_ == ScanDirection::kForward ? time[k] - time[photon_] : time[photon_] - time[k];
  photon_ = k;
  const std::span<double> destination = row.empty() ? propagated_.span() : row;
  propagated_row_ = destination.first(bins_);
  const DVector& colour = colour_probability(grid_, *photons_, photons_->photon_types[k]);
  return {weighted_.data(), destination.data(), diff_coeff_,    step,
          colour.data(),    weighted_.data(),   &most_negative_};
}

bool PhotonChain::advance(int k, std::span<double> row) {
  return take_step(workspace_, grid_, step_to(k, row));
}

void PhotonChain::resume(int k, std::span<const double> weighted) {
  photon_ = k;
  for (std::size_t i = 0; i < bins_; ++i) weighted_.data()[i] = weighted[i];
}

}  // namespace pelmora
