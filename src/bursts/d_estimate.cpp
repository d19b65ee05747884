#include "bursts/d_estimate.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/error.h"
#include "bursts/bootstrap.h"

namespace pelmora {

namespace {

// The log L of each axis: the joint itself with one axis; with two, the log
// of the likelihood summed over the other axis, relative to the largest cell.
struct Profiles {
  std::vector<double> coefficient;
  std::vector<double> parameter;
};

void profiles_of(std::span<const double> joint, const LikelihoodGrid& grid, Profiles& out) {
  if (!grid.parameter) {
    out.coefficient.assign(joint.begin(), joint.end());
    return;
  }
  const std::size_t rows = grid.coefficients.values.size();
  const std::size_t columns = grid.parameter->values.size();
  double largest = -std::numeric_limits<double>::infinity();
  for (const double value : joint) largest = std::max(largest, value);
  out.coefficient.assign(rows, 0.0);
  out.parameter.assign(columns, 0.0);
  for (std::size_t i = 0; i < rows; ++i) {
    for (std::size_t j = 0; j < columns; ++j) {
      const double weight = std::exp(joint[i * columns + j] - largest);
      out.coefficient[i] += weight;
      out.parameter[j] += weight;
    }
  }
  for (double& value : out.coefficient) value = std::log(value);
  for (double& value : out.parameter) value = std::log(value);
}

void set_intervals(const GridAxis& axis, AxisEstimate& estimate) {
  std::vector<double> sorted(estimate.resampled.size());
  for (std::size_t r = 0; r < sorted.size(); ++r) {
    sorted[r] = axis_coordinate(axis, estimate.resampled[r]);
  }
  std::sort(sorted.begin(), sorted.end());
  const auto interval = [&](double probability) {
    const double tail = 0.5 * (1.0 - probability);
    return Interval{axis_value(axis, sorted_quantile(sorted, tail)),
                    axis_value(axis, sorted_quantile(sorted, 1.0 - tail))};
  };
  estimate.ci68 = interval(kInterval68);
  estimate.ci95 = interval(kInterval95);
}

void add_resample(const AxisPeak& peak, AxisEstimate& estimate) {
  estimate.resampled.push_back(peak.value);
  if (peak.shape == PeakShape::kGridEdge) ++estimate.resamples_at_edge;
}

}  // namespace

AnalysedBursts analysed_bursts(std::span<const double> table, std::size_t cells) {
  AnalysedBursts bursts;
  bursts.cells = cells;
  if (cells == 0) return bursts;
  for (std::size_t start = 0; start + cells <= table.size(); start += cells) {
    const std::span<const double> row = table.subspan(start, cells);
    if (!std::all_of(row.begin(), row.end(), [](double v) { return std::isfinite(v); })) continue;
    bursts.rows.insert(bursts.rows.end(), row.begin(), row.end());
    ++bursts.count;
  }
  return bursts;
}

JointEstimate estimate_joint(const AnalysedBursts& bursts, const LikelihoodGrid& grid,
                             const BootstrapOptions& options) {
  check_axis(grid.coefficients);
  if (grid.parameter) check_axis(*grid.parameter);
  const std::size_t cells = grid.cells();
  if (bursts.cells != cells || bursts.rows.size() != bursts.count * cells) {
    throw Error(ErrorKind::kInput, "The log L of the bursts do not fit the grid of the scan.");
  }
  if (options.resamples < 0) {
    throw Error(ErrorKind::kInput, "The number of bootstrap resamples must be >= 0.");
  }
  if (bursts.count == 0) {
    throw Error(ErrorKind::kComputation, "No burst was analysed: D has no estimate.");
  }

  JointEstimate estimate;
  estimate.bursts = bursts.count;
  estimate.bootstrap = options;
  estimate.joint_log_likelihood.resize(cells);
  std::vector<int> counts(bursts.count, 1);
  weighted_row_sum(bursts.rows, cells, counts, estimate.joint_log_likelihood);
  Profiles profiles;
  profiles_of(estimate.joint_log_likelihood, grid, profiles);
  estimate.coefficient.peak = refine_peak(profiles.coefficient, grid.coefficients);
  if (grid.parameter) {
    estimate.parameter.emplace();
    estimate.parameter->peak = refine_peak(profiles.parameter, *grid.parameter);
  }

  if (options.resamples == 0) {
    estimate.interval = IntervalSource::kNotAsked;
    return estimate;
  }
  if (bursts.count == 1) {
    estimate.interval = IntervalSource::kSingleBurst;
    return estimate;
  }
  std::mt19937_64 engine(options.seed);
  std::vector<double> sum(cells);
  const std::size_t resamples = static_cast<std::size_t>(options.resamples);
  estimate.coefficient.resampled.reserve(resamples);
  if (estimate.parameter) estimate.parameter->resampled.reserve(resamples);
  for (std::size_t r = 0; r < resamples; ++r) {
    draw_resample(counts, engine);
    weighted_row_sum(bursts.rows, cells, counts, sum);
    profiles_of(sum, grid, profiles);
    add_resample(refine_peak(profiles.coefficient, grid.coefficients), estimate.coefficient);
    if (estimate.parameter) {
      add_resample(refine_peak(profiles.parameter, *grid.parameter), *estimate.parameter);
    }
  }
  set_intervals(grid.coefficients, estimate.coefficient);
  if (estimate.parameter) set_intervals(*grid.parameter, *estimate.parameter);
  return estimate;
}

const char* interval_source_name(IntervalSource source) {
  switch (source) {
    case IntervalSource::kBootstrap:
      return "bootstrap";
    case IntervalSource::kSingleBurst:
      return "single burst";
    case IntervalSource::kNotAsked:
      return "not asked";
  }
  return "";
}

}  // namespace pelmora
