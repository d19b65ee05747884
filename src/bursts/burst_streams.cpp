#include "bursts/burst_streams.h"

#include <limits>

#include "bursts/burst_photons.h"

namespace pelmora {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

// part / whole for a positive whole; NaN otherwise.
double ratio(double part, double whole) {
  return whole > 0 ? part / whole : kNone;
}

}  // namespace

BurstStreams burst_streams(const BurstCounts& counts, const BackgroundCounts& background,
                           const FretCorrections& corrections) {
  BurstStreams s;
  s.n_dd_corr = static_cast<double>(counts.donor) - background.donor;
  s.n_da_corr = static_cast<double>(counts.acceptor) - background.acceptor;
  const double dd = s.n_dd_corr;
  const double da = s.n_da_corr;
  s.E_raw = ratio(da, dd + da);
  // The acceptor-excitation terms only where there is acceptor excitation;
  // without it the direct excitation term is 0 (delta must be 0 then).
  double direct = 0;
  if (counts.acceptor_excited) {
    s.n_aa_corr = static_cast<double>(*counts.acceptor_excited) - background.acceptor_excited;
    s.S_raw = ratio(dd + da, dd + da + s.n_aa_corr);
    if (corrections.dir_ex != 0) direct = corrections.dir_ex * s.n_aa_corr;
  }
  const double fa = da - corrections.leakage * dd - direct;
  const double donor = corrections.gamma * dd;
  s.E = ratio(fa, fa + donor);
  if (counts.acceptor_excited) s.S = ratio(fa + donor, fa + donor + s.n_aa_corr / corrections.beta);
  return s;
}

Burst describe_burst(const Measurement& measurement, const BurstWindow& window,
                     const Background& background, const FretCorrections& corrections) {
  Burst burst;
  burst.window = window;
  burst.counts = count_burst_photons(measurement, window.t_start_s, window.t_stop_s);
  burst.streams = burst_streams(burst.counts,
                                expected_background(background, window.t_start_s, window.t_stop_s),
                                corrections);
  return burst;
}

std::vector<Burst> describe_bursts(const Measurement& measurement,
                                   std::span<const BurstWindow> windows,
                                   const Background& background,
                                   const FretCorrections& corrections) {
  std::vector<Burst> bursts;
  bursts.reserve(windows.size());
  for (const BurstWindow& window : windows) {
    bursts.push_back(describe_burst(measurement, window, background, corrections));
  }
  return bursts;
}

}  // namespace pelmora
