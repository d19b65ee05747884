// Diffusion in a confined model's potential across a time step, exact in
// time on the model's grid (state/diffusion_modes.h).
#pragma once

#include <span>

#include "state/diffusion_modes.h"
#include "state/fft_workspace.h"

namespace pelmora {

// As propagate (engine/propagator.h) for the model whose decomposition is
// `modes`: carries `source` across `dt` microseconds with `diff_coeff`
// (m^2/s), writes the result normalised to sum 1 (destination may be the
// source), only normalises for dt = 0, and returns false when nothing
// positive is left.  Modes whose factor exp(-lambda D dt) is below e^-100
// are skipped.  Uses the workspace's mode_coefficients only, so it
// allocates nothing.
[[nodiscard]] bool propagate_confined(FftWorkspace& workspace, const DiffusionModes& modes,
                                      double diff_coeff, std::span<const double> source,
                                      std::span<double> destination, double dt);

// The factors exp(-lambda_k D dt) of a step of `dt` microseconds with
// `diff_coeff` (m^2/s) into factor[k], for the modes k = 0, 1, ... whose
// exponent is below 100: returns their count.  The step multiplies mode k's
// projection of the source by factor[k] and leaves out the other modes.
int mode_factors(const DiffusionModes& modes, double diff_coeff, double dt, double* factor);

}  // namespace pelmora

namespace pelmora {

// The forward and the backward chain both start from P_eq times the first
// photon's colour: the forward chain carries the distribution, the backward
// one P_eq times the likelihood of the photons after the current one, which
// the same (self-adjoint under detailed balance) step carries.
void weigh_by_equilibrium(std::span<double> values, const DiffusionModes& modes);

}  // namespace pelmora
