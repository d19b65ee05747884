// A model parameter scanned together with D (chain:FROM:TO:COUNT): one joint
// scan per parameter value, each on its model's own grid, joined into the
// joint log L over the (parameter, D) grid.
#pragma once

#include <string>
#include <vector>

namespace pelmora {

struct ParameterScan {
  std::string parameter;             // e.g. "rms_nm"
  std::vector<double> values;        // of the parameter
  std::vector<double> coefficients;  // D, m^2/s
  std::vector<char> analysed;        // per burst: analysed at every value
  int analysed_count = 0;
  // Cell (value p, coefficient i) at p * coefficients + i: the sum over the
  // bursts analysed at every value, in burst order.
  std::vector<double> joint_log_likelihood;
  std::vector<double> probability;         // normalised over all cells
  std::vector<double> marginal;            // P(D): the cells of each D summed over the values
  std::vector<double> parameter_marginal;  // P(parameter): summed over D
};

// Fills probability and the two marginals from joint_log_likelihood.
void complete_parameter_scan(ParameterScan& scan);

}  // namespace pelmora
