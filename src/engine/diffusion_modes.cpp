#include "engine/diffusion_modes.h"

#include <Eigen/Eigenvalues>
#include <cmath>
#include <new>

#include "base/error.h"

namespace pelmora {

DiffusionModes decompose_diffusion(std::span<const double> equilibrium, double spacing_nm) {
  const int bins = static_cast<int>(equilibrium.size());
  const std::size_t m = equilibrium.size();
  try {
    DiffusionModes modes;
    modes.bins = bins;
    modes.modes = bins;
    double total = 0;
    for (const double p : equilibrium) total += p;
    modes.equilibrium.resize(m);
    modes.inverse_equilibrium.resize(m);
    std::vector<double> root(m);
    for (std::size_t j = 0; j < m; ++j) {
      modes.equilibrium[j] = equilibrium[j] / total;
      modes.inverse_equilibrium[j] = 1 / modes.equilibrium[j];
      root[j] = std::sqrt(modes.equilibrium[j]);
    }

    // The negated symmetrised generator: positive semi-definite, tridiagonal.
    const double unit = 1 / (spacing_nm * spacing_nm);
    Eigen::VectorXd diagonal = Eigen::VectorXd::Zero(bins);
    Eigen::VectorXd off = Eigen::VectorXd::Constant(std::max(bins - 1, 0), -unit);
    for (int j = 0; j + 1 < bins; ++j) {
      const std::size_t a = static_cast<std::size_t>(j);
      diagonal[j] += unit * root[a + 1] / root[a];
      diagonal[j + 1] += unit * root[a] / root[a + 1];
    }
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver;
    solver.computeFromTridiagonal(diagonal, off, Eigen::ComputeEigenvectors);
    if (solver.info() != Eigen::Success) {
      throw Error(ErrorKind::kComputation,
                  "The eigen-decomposition of the diffusion operator did not "
                  "converge.");
    }
    const Eigen::VectorXd& values = solver.eigenvalues();
    const Eigen::MatrixXd& vectors = solver.eigenvectors();
    modes.rates.resize(m);
    modes.left.resize(m * m);
    modes.right.resize(m * m);
    // Mode 0 is known exactly (Pi^1/2, of unit norm): taken as it is, the
    // equilibrium is an exact fixed point and the long-time limit exactly pi,
    // and a rate that rounding left slightly negative cannot grow.  The other
    // modes are made orthogonal to it again: where the density nearly splits
    // the grid in two (a table with an empty stretch) the solver returns two
    // nearly degenerate modes that mix it with another.
    Eigen::VectorXd zero(bins);
    for (int j = 0; j < bins; ++j) zero[j] = root[static_cast<std::size_t>(j)];
    for (int k = 0; k < bins; ++k) {
      Eigen::VectorXd v = zero;
      if (k > 0) {
        v = vectors.col(k);
        v -= v.dot(zero) * zero;
        v /= v.norm();
      }
      modes.rates[static_cast<std::size_t>(k)] = k == 0 ? 0.0 : std::max(values[k], 0.0);
      const std::size_t at = static_cast<std::size_t>(k) * m;
      for (std::size_t j = 0; j < m; ++j) {
        const Eigen::Index i = static_cast<Eigen::Index>(j);
        modes.left[at + j] = root[j] * v[i];
        modes.right[at + j] = v[i] / root[j];
      }
    }
    return modes;
  } catch (const std::bad_alloc&) {
    throw_allocation_failure("in the eigen-decomposition of the diffusion operator");
  }
}

}  // namespace pelmora
