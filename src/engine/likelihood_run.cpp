#include "engine/likelihood_run.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "engine/boundary_check.h"

namespace pelmora {

namespace {

// Photons 1..N-2 carry evidence; at least one row is kept even for N = 3.
int interior_photons(int photon_count) { return std::max(photon_count - 2, 1); }

// An empty record for the chains until the first prepare().
const PhotonList& no_photons() {
  static const PhotonList empty;
  return empty;
}

}  // namespace

int checkpoint_spacing(int photon_count, int bins, std::size_t budget) {
  const int interior = interior_photons(photon_count);
  const double all_rows = static_cast<double>(interior) * bins * sizeof(double);
  if (all_rows <= static_cast<double>(budget)) return interior;
  return std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(interior)))));
}

LikelihoodRun::LikelihoodRun(const DistanceGrid& grid, std::size_t row_budget, int spacing)
    : grid_(grid),
      row_budget_(row_budget),
      fixed_spacing_(spacing),
      bins_(grid.points.bins),
      workspace_(make_fft_workspace(bins_)),
      forward_(grid, no_photons(), ScanDirection::kForward, workspace_, 0.0),
      backward_(grid, no_photons(), ScanDirection::kBackward, workspace_, 0.0) {}

void LikelihoodRun::prepare(const PhotonList& photons) {
  photons_ = &photons;
  count_ = photons.photon_count;
  forward_.set_photons(photons);
  backward_.set_photons(photons);
  const int interior = interior_photons(count_);
  spacing_ = std::clamp(
      fixed_spacing_ > 0 ? fixed_spacing_ : checkpoint_spacing(count_, bins_, row_budget_), 1,
      interior);
  segments_ = (interior + spacing_ - 1) / spacing_;
  // Storage only grows: a record no larger than an earlier one allocates nothing.
  const std::size_t checkpoints_needed = static_cast<std::size_t>(std::max(segments_ - 1, 1));
  if (checkpoints_.row_count() < checkpoints_needed) {
    checkpoints_ = dmatrix(0, static_cast<int>(checkpoints_needed) - 1, 0, bins_ - 1);
  }
  if (rows_.row_count() < static_cast<std::size_t>(spacing_)) {
    rows_ = dmatrix(0, spacing_ - 1, 0, bins_ - 1);
  }
  if (contribution_.size() < static_cast<std::size_t>(count_)) {
    contribution_.resize(static_cast<std::size_t>(count_));
    counted_.resize(static_cast<std::size_t>(count_));
  }
  rows_segment_ = -1;
}

int LikelihoodRun::segment_last(int c) const {
  return std::min((c + 1) * spacing_, count_ - 2);
}

void LikelihoodRun::recompute_segment(int c) {
  forward_.resume(c * spacing_, checkpoints_.row_span(c).first(static_cast<std::size_t>(bins_)));
  for (int k = segment_first(c); k <= segment_last(c); ++k) {
    // The first pass went through these very steps, so none can fail now.
    [[maybe_unused]] const bool advanced = forward_.advance(k);
    assert(advanced);
    std::copy_n(forward_.propagated().data(), bins_, rows_.row(k - segment_first(c)));
  }
  rows_segment_ = c;
}

void LikelihoodRun::weigh_photon(int j, std::span<const double> forward,
                                 std::span<const double> backward) {
  const DVector& colour =
      grid_.colour_probability(photons_->photon_types[static_cast<std::size_t>(j)]);
  double sum = 0.0;
  double colour_sum = 0.0;
  for (int k = 0; k < bins_; ++k) {
    const double t = forward[k] * backward[k];
    sum += t;
    colour_sum += t * colour[k];
  }
  // A colour probability that underflowed to zero is left out, instead of
  // making log L minus infinity.
  const std::size_t index = static_cast<std::size_t>(j);
  counted_[index] = colour_sum > 0;
  if (counted_[index]) contribution_[index] = std::log(colour_sum / sum);
  if (reaches_edges(forward, backward, bins_, sum)) ++boundary_photons_;
}

RunResult LikelihoodRun::run(double diff_coeff, StopCheck& stop) {
  assert(photons_ != nullptr);
  forward_.set_diff_coeff(diff_coeff);
  backward_.set_diff_coeff(diff_coeff);
  boundary_photons_ = 0;
  std::fill_n(counted_.begin(), count_, 0);
  RunResult result;
  const int last_segment = segments_ - 1;
  const std::size_t row_length = static_cast<std::size_t>(bins_);

  // Forward pass: checkpoints for the early segments, rows for the last one.
  auto keep = [&](int k) {
    if (k % spacing_ == 0 && k / spacing_ < last_segment) {
      std::copy_n(forward_.weighted().data(), bins_, checkpoints_.row(k / spacing_));
    }
    if (k >= 1 && k <= count_ - 2 && segment_of(k) == last_segment) {
      std::copy_n(forward_.propagated().data(), bins_, rows_.row(k - segment_first(last_segment)));
    }
  };
  if (!forward_.start()) {
    result.collapsed = true;
    return result;
  }
  keep(0);
  for (int k = 1; k < count_; ++k) {
    if (stop()) {
      result.stopped = true;
      return result;
    }
    if (!forward_.advance(k)) {
      result.collapsed = true;
      return result;
    }
    keep(k);
  }
  rows_segment_ = last_segment;

  // Backward pass, weighing each interior photon as it passes.
  if (!backward_.start()) {
    result.collapsed = true;
    return result;
  }
  for (int j = count_ - 2; j >= 0; --j) {
    if (stop()) {
      result.stopped = true;
      return result;
    }
    if (!backward_.advance(j)) {
      result.collapsed = true;
      return result;
    }
    if (j < 1) continue;
    const int c = segment_of(j);
    if (c != rows_segment_) recompute_segment(c);
    weigh_photon(j, rows_.row_span(j - segment_first(c)).first(row_length),
                 backward_.propagated());
  }

  // Summed in photon order, whatever order the photons were weighed in.
  for (int j = 1; j <= count_ - 2; ++j) {
    const std::size_t index = static_cast<std::size_t>(j);
    if (counted_[index]) result.log_likelihood += contribution_[index];
  }
  result.boundary_photons = boundary_photons_;
  result.most_negative = std::min(forward_.most_negative(), backward_.most_negative());
  return result;
}

}  // namespace pelmora
