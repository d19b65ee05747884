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

}  // namespace pelmora
