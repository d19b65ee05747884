// The estimate of D from the per-burst log L of a joint scan, and an interval
// that says how well the bursts determine it.
//
// The estimate is the maximum of the joint log L (the sum over the analysed
// bursts), refined between grid points (peak_refinement.h).  The sum treats
// every burst as exactly as informative as its own log L says, so the width
// of the joint P(D) understates the uncertainty whenever bursts differ more
// than their photons explain (heterogeneous molecules, a model that fits
// only roughly).  The interval therefore comes from a bootstrap over bursts:
// each resample draws as many bursts with replacement, sums their stored log
// L, refines the maximum again; the 68 % and 95 % intervals are percentiles
// of those maxima.  Nothing is recomputed from photons, so a thousand
// resamples cost a fraction of a second.
//
// When a model parameter is scanned together with D (a second axis), each
// axis is estimated from the joint log L marginalised over the other one
// (log of the sum of the likelihood over its grid points).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bursts/peak_refinement.h"

namespace pelmora {

// The grid of a joint scan: the coefficients, and optionally a model
// parameter scanned with them.  Cell (i, j), coefficient i and parameter
// value j, is at i * (parameter values) + j of a burst's row.
struct LikelihoodGrid {
  GridAxis coefficients;              // D in m^2/s, log-spaced
  std::optional<GridAxis> parameter;  // none: one cell per coefficient

  std::size_t cells() const {
    return coefficients.values.size() * (parameter ? parameter->values.size() : 1);
  }
};

// The log L of the analysed bursts, a row of `cells` values per burst, in
// burst order.
struct AnalysedBursts {
  std::vector<double> rows;
  std::size_t cells = 0;
  std::size_t count = 0;
};

// The rows of a bursts x cells table (row-major) whose values are all
// finite; a burst left out of the joint sum has NaN (as results.h5 holds it).
AnalysedBursts analysed_bursts(std::span<const double> table, std::size_t cells);

struct BootstrapOptions {
  int resamples = 1000;  // 0: no interval
  std::uint64_t seed = 1;
};

enum class IntervalSource {
  kBootstrap,    // percentiles of the resamples
  kSingleBurst,  // one burst: resampling it only ever gives it back, so no interval
  kNotAsked,     // no resamples were asked for
};

struct Interval {
  double low = 0;
  double high = 0;
};

// The central probabilities of the intervals: +-1 standard deviation of a
// normal distribution, and 95 %.
inline constexpr double kInterval68 = 0.682689492137086;
inline constexpr double kInterval95 = 0.95;

struct AxisEstimate {
  AxisPeak peak;  // of the joint log L (of its marginal with two axes)
  // With IntervalSource::kBootstrap only.
  std::optional<Interval> ci68;
  std::optional<Interval> ci95;
  std::vector<double> resampled;  // each resample's refined maximum, in resample order
  int resamples_at_edge = 0;      // resamples whose maximum lay at an edge of the grid
};

struct JointEstimate {
  std::size_t bursts = 0;  // analysed
  IntervalSource interval = IntervalSource::kBootstrap;
  BootstrapOptions bootstrap;
  std::vector<double> joint_log_likelihood;  // per cell: the sum over the bursts in order
  AxisEstimate coefficient;                  // D, m^2/s
  std::optional<AxisEstimate> parameter;     // when the grid has a parameter axis
};

// Refuses (kInput) rows that do not fit the grid, an axis check_axis
// refuses, and a negative number of resamples; (kComputation) no burst.
JointEstimate estimate_joint(const AnalysedBursts& bursts, const LikelihoodGrid& grid,
                             const BootstrapOptions& options);

const char* interval_source_name(
    IntervalSource source);  // "bootstrap", "single burst", "not asked"

}  // namespace pelmora
