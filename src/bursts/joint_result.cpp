#include "bursts/joint_result.h"

#include <algorithm>

#include "base/error.h"
#include "engine/scan_arithmetic.h"

namespace pelmora {

namespace {

// The joint over (value, D), as join_parameter_scan forms it, from the rows
// of the bursts analysed at every value.
ParameterScan parameter_scan_of(const MeasurementScan& scan) {
  const ModelScan& model = scan.setup.request.model;
  ParameterScan joint;
  joint.parameter = model.parameter;
  joint.values = model.parameter_values;
  joint.coefficients = scan.setup.request.coefficients;
  const std::size_t cells = scan.values() * scan.runs();
  joint.joint_log_likelihood.assign(cells, 0.0);
  for (const ScannedBurst& burst : scan.bursts) {
    joint.analysed.push_back(burst.log_likelihood.empty() ? 0 : 1);
    if (burst.log_likelihood.empty()) continue;
    ++joint.analysed_count;
    for (std::size_t c = 0; c < cells; ++c) {
      joint.joint_log_likelihood[c] += burst.log_likelihood[c];
    }
  }
  complete_parameter_scan(joint);
  return joint;
}

}  // namespace

JointResult joint_result(const MeasurementScan& scan) {
  JointResult result;
  const std::size_t runs = scan.runs();
  if (scan.setup.request.model.scanned()) {
    result.parameter_scan = parameter_scan_of(scan);
    const std::vector<double>& cells = result.parameter_scan->probability;
    result.shown =
        static_cast<std::size_t>(std::max_element(cells.begin(), cells.end()) - cells.begin()) /
        runs;
  }
  // Summed burst after burst, so that shares of the bursts summed again in
  // burst order give the same bits.
  result.joint_log_likelihood.assign(runs, 0.0);
  for (const ScannedBurst& burst : scan.bursts) {
    if (burst.log_likelihood.empty()) continue;
    ++result.analysed;
    for (std::size_t i = 0; i < runs; ++i) {
      result.joint_log_likelihood[i] += burst.log_likelihood[result.shown * runs + i];
    }
  }
  result.probability = result.parameter_scan ? result.parameter_scan->marginal
                                             : normalize_likelihoods(result.joint_log_likelihood);
  return result;
}

LikelihoodGrid likelihood_grid(const MeasurementScan& scan) {
  const ScanRequest& request = scan.setup.request;
  LikelihoodGrid grid{GridAxis{"D_m2_per_s", request.coefficients, AxisScale::kLogarithmic},
                      std::nullopt};
  if (request.model.scanned()) {
    grid.parameter =
        GridAxis{request.model.parameter, request.model.parameter_values, AxisScale::kLinear};
  }
  return grid;
}

JointEstimate estimate_coefficient(const MeasurementScan& scan, const BootstrapOptions& options) {
  const std::size_t runs = scan.runs();
  const std::size_t values = scan.values();
  AnalysedBursts rows;
  rows.cells = runs * values;
  for (const ScannedBurst& burst : scan.bursts) {
    if (burst.log_likelihood.empty()) continue;
    // The estimate's cell (coefficient i, value p) is at i * values + p.
    for (std::size_t i = 0; i < runs; ++i) {
      for (std::size_t p = 0; p < values; ++p) {
        rows.rows.push_back(burst.log_likelihood[p * runs + i]);
      }
    }
    ++rows.count;
  }
  if (rows.count == 0) {
    throw Error(ErrorKind::kComputation,
                "None of the " + std::to_string(scan.bursts.size()) +
                    " bursts could be analysed: there is no estimate of D.");
  }
  return estimate_joint(rows, likelihood_grid(scan), options);
}

}  // namespace pelmora
