// What the trajectory-mode result files share: the written time slices
// 1..T-2 with their time labels, the distance of each internal grid point,
// and the test for a slice whose forward and backward distributions do not
// overlap.
#pragma once

#include <cmath>
#include <span>

#include "engine/distance_distribution.h"
#include "state/run_state.h"

namespace pelmora {

class WrittenSlices {
 public:
  explicit WrittenSlices(const RunState& state)
      : state_(state),
        slice_count_(state.settings.internal_time_bins),
        bins_(state.settings.internal_bins),
        rmin_(state.settings.internal_rmin),
        rmax_(state.settings.internal_rmax),
        t_first_(state.photons.start_time),
        t_last_(state.photons.end_time) {}

  int first() const { return 1; }
  int last() const { return slice_count_ - 2; }
  int count() const { return slice_count_ - 2; }
  int bins() const { return bins_; }
  double t_first() const { return t_first_; }
  double t_last() const { return t_last_; }

  // Absolute time of slice i in mu s.  The divisor is the slice count T, not
  // the T - 1 with which the scans place the slices.
  double time_label(int i) const { return t_first_ + (t_last_ - t_first_) * i / slice_count_; }
  double position(int j) const { return grid_point_position(rmin_, rmax_, j, bins_); }

  std::span<const double> forward(int i) const { return state_.grid_forward.row_span(i); }
  std::span<const double> backward(int i) const { return state_.grid_backward.row_span(i); }
  // Z: the sum of forward * backward over all internal points.
  double overlap(int i) const { return overlap_sum(forward(i), backward(i), bins_); }

 private:
  const RunState& state_;
  int slice_count_;
  int bins_;
  double rmin_;
  double rmax_;
  double t_first_;
  double t_last_;
};

// A slice carries a distribution only when its Z is positive and finite.  Z
// is a sum of products of non-negative probabilities, so a zero or negative
// one means the two distributions do not overlap (anything left is FFT
// rounding residue); dividing by it would write nan, inf or noise.
inline bool has_overlap(double z) {
  return z > 0.0 && std::isfinite(z);
}

}  // namespace pelmora
