#include "engine/likelihood_scan.h"

#include <cmath>

#include "engine/grid_scans.h"
#include "engine/photon_scans.h"
#include "state/run_state.h"

namespace pelmora {

namespace {

// Coefficient of run i: evenly spaced in log D between a = ln Dmin and
// b = ln Dmax; the quotient i/(n-1) is formed first.
double run_coefficient(double a, double b, int i, int runs) {
  return std::exp(a + (static_cast<double>(i) / (runs - 1)) * (b - a));
}

// Sum over photons 1..N-2 of ln(G/S), where the normalised product of the
// forward and backward rows is the distance distribution at the photon given
// all other photons, and G/S is the probability of the photon's own colour
// under it.  Photons whose colour probability underflowed to 0 are left out.
double log_likelihood(const RunState& state) {
  const int bins = state.settings.internal_bins;
  const int count = state.photons.photon_count;
  double log_l = 0.0;
  for (int j = 1; j <= count - 2; ++j) {
    const double* forward = state.photon_forward.row(j);
    const double* backward = state.photon_backward.row(j);
    const DVector& colour = state.photons.photon_types[j] == kDonorPhoton
                                ? state.grid.one_minus_efficiency
                                : state.grid.efficiency;
    double s = 0.0;
    double g = 0.0;
    for (int k = 0; k < bins; ++k) {
      const double t = forward[k] * backward[k];
      s += t;
      g += t * colour[k];
    }
    if (g > 0) log_l += std::log(g / s);
  }
  return log_l;
}

// Turns the log-likelihoods into P(D) over the runs: exp of the distance to
// the largest, zero from 100 below it on, divided by the sum.
void normalize_likelihoods(DVector& likelihood, int runs) {
  double maximum = -1e30;
  for (int i = 0; i < runs; ++i) {
    if (likelihood[i] > maximum) maximum = likelihood[i];
  }
  for (int i = 0; i < runs; ++i) {
    const double x = likelihood[i] - maximum;
    likelihood[i] = x > -100 ? std::exp(x) : 0.0;
  }
  double sum = 0.0;
  for (int i = 0; i < runs; ++i) sum += likelihood[i];
  if (sum > 0) {
    for (int i = 0; i < runs; ++i) likelihood[i] /= sum;
  }
}

}  // namespace

void likelihood_scan(RunState& state) {
  RunSettings& s = state.settings;
  const double a = std::log(s.min_coeff);
  const double b = std::log(s.max_coeff);
  state.console.write("\n");
  for (int i = 0; i < s.runs; ++i) {
    const double coefficient = run_coefficient(a, b, i, s.runs);
    s.diff_coeff = coefficient;
    state.console.print("Run %3d of %3d:   D = %10.5e  m^2/s ", i + 1, s.runs, coefficient);
    forward_scan_photons(state);
    backward_scan_photons(state);
    const double log_l = log_likelihood(state);
    state.run_diffusion[i] = coefficient;
    state.run_likelihood[i] = log_l;
    state.console.print("    log L = %10.5f", log_l);
    count_boundary_photons(state);
    if (state.boundary_artifact_count > 0) state.warn("    WARNING: possible boundary artifacts");
    state.console.write("\n");
  }
  normalize_likelihoods(state.run_likelihood, s.runs);
}

}  // namespace pelmora
