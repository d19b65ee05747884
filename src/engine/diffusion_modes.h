#pragma once

#include <span>

#include "state/diffusion_modes.h"

namespace pelmora {

// Decomposes the diffusion operator of cells of width `spacing_nm` whose
// equilibrium probabilities are `equilibrium` (all > 0, any normalisation).
// The rate from cell j to a neighbour i is sqrt(pi_i / pi_j) / h^2 per unit
// D: detailed balance holds exactly for any pi, and with a flat pi it is the
// plain three-point Laplacian.  Throws kMemory when the matrices cannot be
// had.
DiffusionModes decompose_diffusion(std::span<const double> equilibrium, double spacing_nm);

}  // namespace pelmora
