// The arithmetic of a likelihood scan around its runs: where the
// coefficients lie and how log L becomes P(D).
#pragma once

#include <span>
#include <vector>

namespace pelmora {

// runs coefficients evenly spaced in log D from min_coeff to max_coeff
// (exp(a + (i/(n-1)) (b - a)) with a = ln min, b = ln max, the quotient formed
// first), as scan mode uses them.
std::vector<double> log_spaced_coefficients(double min_coeff, double max_coeff, int runs);

// P(D) from log L over the runs: exp of the distance to the largest (0 from
// 100 below it on, and for minus infinity), divided by the sum.
std::vector<double> normalize_likelihoods(std::span<const double> log_likelihoods);

}  // namespace pelmora
