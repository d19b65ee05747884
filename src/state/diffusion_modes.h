// The eigen-decomposition of a confined model's diffusion operator on its
// grid, from which a step over any time is a product with two matrices.
//
// The finite-volume generator G (rates between neighbouring cells, no flux
// through the grid's ends) satisfies detailed balance with the cells'
// equilibrium probabilities pi, so Pi^-1/2 G Pi^1/2 is symmetric; its
// eigenvectors V and rates lambda give
//     p(t + dt) = Pi^1/2 V exp(-lambda D dt) V^T Pi^-1/2 p(t).
// The two outer products are kept ready: left = Pi^1/2 V, right = Pi^-1/2 V.
// Built once per model and parameter value, read-only afterwards and shared
// by every worker.
#pragma once

#include <vector>

namespace pelmora {

struct DiffusionModes {
  int bins = 0;
  int modes = 0;                    // K <= bins
  std::vector<double> rates;        // lambda_k in nm^-2 (per unit D), ascending, rates[0] = 0
  std::vector<double> left;         // mode k: entries [k * bins, (k + 1) * bins)
  std::vector<double> right;        // likewise
  std::vector<double> equilibrium;  // pi_j, summing to 1
  std::vector<double> inverse_equilibrium;  // 1 / pi_j
};

}  // namespace pelmora
