#pragma once

namespace pelmora {

struct RunState;

// Scan mode: one pair of photon passes per diffusion coefficient, log-spaced
// from min_coeff to max_coeff.  Prints one console line per run, in run
// order, and leaves P(D) in run_likelihood and the coefficients in
// run_diffusion.  The runs share the engine's worker threads.
void likelihood_scan(RunState& state);

}  // namespace pelmora
