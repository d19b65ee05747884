#include "bursts/parameter_scan.h"

#include "engine/scan_arithmetic.h"

namespace pelmora {

ParameterScan join_parameter_scan(std::string parameter, std::vector<double> values,
                                  const std::vector<JointScan>& scans) {
  ParameterScan joint;
  joint.parameter = std::move(parameter);
  joint.values = std::move(values);
  joint.coefficients = scans.front().coefficients;
  const std::size_t bursts = scans.front().bursts.size();
  const std::size_t runs = joint.coefficients.size();
  joint.analysed.assign(bursts, 1);
  for (const JointScan& scan : scans) {
    for (std::size_t b = 0; b < bursts; ++b) {
      if (scan.bursts[b].left_out != LeftOut::kNo) joint.analysed[b] = 0;
    }
  }
  for (const char a : joint.analysed) joint.analysed_count += a;
  joint.joint_log_likelihood.assign(scans.size() * runs, 0.0);
  for (std::size_t p = 0; p < scans.size(); ++p) {
    for (std::size_t b = 0; b < bursts; ++b) {
      if (!joint.analysed[b]) continue;
      for (std::size_t i = 0; i < runs; ++i) {
        joint.joint_log_likelihood[p * runs + i] +=
            scans[p].table.at(static_cast<int>(b), static_cast<int>(i)).log_likelihood;
      }
    }
  }
  joint.probability = normalize_likelihoods(joint.joint_log_likelihood);
  joint.marginal.assign(runs, 0.0);
  joint.parameter_marginal.assign(scans.size(), 0.0);
  for (std::size_t p = 0; p < scans.size(); ++p) {
    for (std::size_t i = 0; i < runs; ++i) {
      joint.marginal[i] += joint.probability[p * runs + i];
      joint.parameter_marginal[p] += joint.probability[p * runs + i];
    }
  }
  return joint;
}

}  // namespace pelmora
