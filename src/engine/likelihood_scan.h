#pragma once

namespace pelmora {

struct RunState;

// One pair of photon scans per diffusion coefficient; leaves P(D) in
// run_likelihood and the coefficients in run_diffusion.
void likelihood_scan(RunState& state);

}  // namespace pelmora
