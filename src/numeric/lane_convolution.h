// The tables of a convolution of length n for the lane kernels
// (numeric/lane_kernels.h): the transform tables of convolve() and the bit
// reversals by which the kernels order their inputs.  Built once per length;
// read-only afterwards.
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/convolve.h"
#include "numeric/lane_kernels.h"

namespace pelmora {

class LaneConvolutionTables {
 public:
  // The shortest length the lane kernels take.
  static constexpr int kShortest = 16;
  // n: a power of two, at least kShortest.
  explicit LaneConvolutionTables(int n);
  LaneConvolutionTables(const LaneConvolutionTables&) = delete;
  LaneConvolutionTables& operator=(const LaneConvolutionTables&) = delete;

  int length() const { return tables_.length(); }
  const LaneFftPlan& plan() const { return plan_; }

 private:
  ConvolutionTables tables_;
  std::vector<std::int32_t> reversed_;
  std::vector<std::int32_t> reversed_half_;
  std::vector<double> forward_pairs_;
  std::vector<double> inverse_pairs_;
  LaneFftPlan plan_;
};

}  // namespace pelmora
