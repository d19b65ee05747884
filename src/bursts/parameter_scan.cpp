#include "bursts/parameter_scan.h"

#include "engine/scan_arithmetic.h"

namespace pelmora {

void complete_parameter_scan(ParameterScan& joint) {
  const std::size_t runs = joint.coefficients.size();
  const std::size_t values = joint.values.size();
  joint.probability = normalize_likelihoods(joint.joint_log_likelihood);
  joint.marginal.assign(runs, 0.0);
  joint.parameter_marginal.assign(values, 0.0);
  for (std::size_t p = 0; p < values; ++p) {
    for (std::size_t i = 0; i < runs; ++i) {
      joint.marginal[i] += joint.probability[p * runs + i];
      joint.parameter_marginal[p] += joint.probability[p * runs + i];
    }
  }
}

}  // namespace pelmora
