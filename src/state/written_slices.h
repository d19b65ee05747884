// What every consumer of a trajectory result shares: the written time slices
// 1..T-2 with their time labels, the distance of each internal grid point,
// the distribution P(r,t) of a slice, its mean and standard deviation, and
// the test for a slice whose forward and backward distributions do not
// overlap.  The result files and the Python package read results through
// this view, so that all of them round alike.
#pragma once

#include <cmath>
#include <span>

#include "state/analysis_results.h"
#include "state/distance_distribution.h"

namespace pelmora {

// A slice carries a distribution only when its Z is positive and finite.  Z
// is a sum of products of non-negative probabilities, so a zero or negative
// one means the two distributions do not overlap (anything left is FFT
// rounding residue); dividing by it would write nan, inf or noise.
inline bool has_overlap(double z) {
  return z > 0.0 && std::isfinite(z);
}

struct SliceMoments {
  double mean = 0.0;
  double deviation = 0.0;
};

// The written distance points: the middle third of the internal grid.
struct WrittenPoints {
  int first;
  int end;  // one past the last
};

inline WrittenPoints written_points(int bins) {
  return {bins / 3, (2 * bins) / 3};
}

class WrittenSlices {
 public:
  explicit WrittenSlices(const TrajectoryResult& result) : result_(result) {}

  int first() const { return 1; }
  int last() const { return result_.slice_count - 2; }
  int count() const { return result_.slice_count - 2; }
  int bins() const { return result_.grid.bins; }
  // The points written: every point of a confined model's grid, the middle
  // third of free diffusion's.
  WrittenPoints points() const {
    return result_.confined ? WrittenPoints{0, bins()} : written_points(bins());
  }
  double t_first() const { return result_.t_first; }
  double t_last() const { return result_.t_last; }

  // Absolute time of slice i in mu s.  The divisor is the slice count T, not
  // the T - 1 with which the scans place the slices.
  double time_label(int i) const {
    return result_.t_first + (result_.t_last - result_.t_first) * i / result_.slice_count;
  }
  double position(int j) const {
    return grid_point_position(result_.grid.rmin, result_.grid.rmax, j, result_.grid.bins);
  }

  std::span<const double> forward(int i) const { return result_.forward.row_span(i); }
  std::span<const double> backward(int i) const { return result_.backward.row_span(i); }
  // Z: the sum of forward * backward over all internal points.
  double overlap(int i) const { return overlap_sum(forward(i), backward(i), bins()); }

  // The written slices whose two rows do not overlap.
  int slices_without_overlap() const {
    int count = 0;
    for (int i = first(); i <= last(); ++i) count += has_overlap(overlap(i)) ? 0 : 1;
    return count;
  }

  // Mean and standard deviation of P(r, t_i) over the whole internal grid.
  // The variance needs the finished mean, hence the second pass.  A slice
  // without overlap gets 0 and 0.
  SliceMoments moments(int i) const {
    const double total = overlap(i);
    if (!has_overlap(total)) return {};
    const std::span<const double> f = forward(i);
    const std::span<const double> b = backward(i);
    const int m = bins();
    double first_moment = 0.0;
    for (int j = 0; j < m; ++j) first_moment += position(j) * (f[j] * b[j]);
    const double mean = first_moment / total;
    double spread = 0.0;
    for (int j = 0; j < m; ++j) {
      const double offset = position(j) - mean;
      spread += offset * (f[j] * b[j]) * offset;
    }
    const double variance = spread / total;
    // Negative weights (rounding residue of the convolution) could in
    // principle push the variance below zero; the square root would be nan.
    return {mean, variance < 0.0 ? 0.0 : std::sqrt(variance)};
  }

 private:
  const TrajectoryResult& result_;
};

}  // namespace pelmora
