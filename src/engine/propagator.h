// Free diffusion of a distance distribution across a time step.
#pragma once

#include <span>

#include "state/distance_grid.h"
#include "state/fft_workspace.h"

namespace pelmora {

// A workspace for a propagator over M internal grid points; each thread that
// propagates owns one.  Its arrays are released with the object.
FftWorkspace make_fft_workspace(int bins);

// Carries `source` (entries 0..M-1, non-negative, not necessarily normalised)
// across `dt` microseconds (dt >= 0) by free diffusion with `diff_coeff`
// (m^2/s), and writes the result, normalised to sum 1, to `destination`
// (entries 0..M-1; it may be the same vector as the source).  A step of
// exactly 0 only normalises.
//
// Returns false when the distribution vanished: its sum is not a positive
// finite number (every grid point ruled out).  The destination then holds
// no meaningful values and the caller reports where it happened.
[[nodiscard]] bool propagate(FftWorkspace& workspace, const PropagationGrid& grid,
                             double diff_coeff, std::span<const double> source,
                             std::span<double> destination, double dt);

// The exponents x^2 / spread, x = width * lag / spacings, of the lags
// first .. first + count - 1 into out[0..count-1].  The lane kernels bring
// their own of this form (numeric/lane_kernels.h).
using ExponentBlock = void (*)(double width, double spacings, double spread, int first, int count,
                               double* out);
void kernel_exponents(double width, double spacings, double spread, int first, int count,
                      double* out);

// The kernel's weights exp(-x^2 / (4 D dt)) for displacements of j = 0, 1,
// ... grid spacings, at most n/2 + 1 of them, into weight[j]: the step's
// kernel (unnormalised) for an FFT of length n.  Returns the count written;
// every weight from there on is exactly 0 (its exponent reached the cut-off
// of e^-100, where exp is no longer evaluated).
int kernel_weights(int n, const PropagationGrid& grid, double diff_coeff, double dt, double* weight,
                   ExponentBlock exponents = kernel_exponents);

}  // namespace pelmora
