#include "engine/scan_arithmetic.h"

#include <algorithm>
#include <cmath>

namespace pelmora {

std::vector<double> log_spaced_coefficients(double min_coeff, double max_coeff, int runs) {
  const double a = std::log(min_coeff);
  const double b = std::log(max_coeff);
  std::vector<double> coefficients;
  coefficients.reserve(static_cast<std::size_t>(std::max(runs, 0)));
  for (int i = 0; i < runs; ++i) {
    coefficients.push_back(std::exp(a + (static_cast<double>(i) / (runs - 1)) * (b - a)));
  }
  return coefficients;
}

std::vector<double> normalize_likelihoods(std::span<const double> log_likelihoods) {
  std::vector<double> p(log_likelihoods.begin(), log_likelihoods.end());
  double maximum = -1e30;
  for (const double value : p) {
    if (value > maximum) maximum = value;
  }
  for (double& value : p) {
    const double x = value - maximum;
    value = x > -100 ? std::exp(x) : 0.0;
  }
  double sum = 0.0;
  for (const double value : p) sum += value;
  if (sum > 0) {
    for (double& value : p) value /= sum;
  }
  return p;
}

}  // namespace pelmora
