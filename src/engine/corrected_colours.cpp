#include "engine/corrected_colours.h"

#include <cmath>

#include "base/error.h"
#include "state/distance_distribution.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

[[noreturn]] void refuse(std::string message) {
  throw Error(ErrorKind::kInput, std::move(message));
}

bool is_probability(double p) {
  return p >= 0 && p <= 1;
}

bool strictly_between(double p) {
  return p > 0 && p < 1;
}

}  // namespace

void check_fret_corrections(const FretCorrections& c) {
  if (!(c.gamma > 0) || !std::isfinite(c.gamma)) {
    refuse(
        format_text("--gamma %g: gamma, the acceptor's detection efficiency and quantum yield "
                    "over the donor's, must be a positive finite number.",
                    c.gamma));
  }
  if (!(c.leakage >= 0 && c.leakage < 1)) {
    refuse(
        format_text("--leakage %g: the leakage, donor photons seen in the acceptor channel per "
                    "photon of the donor channel, must be at least 0 and below 1.",
                    c.leakage));
  }
  if (!(c.dir_ex >= 0) || !std::isfinite(c.dir_ex)) {
    refuse(
        format_text("--dir-ex %g: the direct excitation, acceptor photons under donor "
                    "excitation per photon under acceptor excitation, must be a finite "
                    "number of at least 0.",
                    c.dir_ex));
  }
  if (!(c.beta > 0) || !std::isfinite(c.beta)) {
    refuse(
        format_text("--beta %g: beta, the acceptor- over the donor-excitation intensity, must "
                    "be a positive finite number.",
                    c.beta));
  }
}

DistanceGrid corrected_grid(DistanceGrid grid, const FretCorrections& c) {
  check_fret_corrections(c);
  if (c.gamma == 1.0 && c.leakage == 0.0) return grid;
  const int bins = grid.points.bins;
  DVector acceptors = dvector(0, bins + 1);
  DVector donors = dvector(0, bins + 1);
  for (int i = 0; i < bins; ++i) {
    const double e = grid.efficiency[i];
    const double one_minus_e = grid.one_minus_efficiency[i];
    const double norm = (1 + c.leakage) * one_minus_e + c.gamma * e;
    const double acceptor = (c.gamma * e + c.leakage * one_minus_e) / norm;
    const double donor = one_minus_e / norm;
    const bool probabilities = is_probability(acceptor) && is_probability(donor);
    // E(r) left both colours possible: so must the corrections.
    const bool certain =
        strictly_between(e) && !(strictly_between(acceptor) && strictly_between(donor));
    if (!probabilities || certain) {
      const double r = grid_point_position(grid.points.rmin, grid.points.rmax, i, bins);
      refuse(format_text(
          "--gamma %g and --leakage %g give P(acceptor | r) = %g and P(donor | r) = %g at %g "
          "nm, %s: the corrections alone would rule distances in or out. Check their values.",
          c.gamma, c.leakage, acceptor, donor, r,
          probabilities ? "where the FRET efficiency leaves both colours possible"
                        : "which are not probabilities"));
    }
    acceptors[i] = acceptor;
    donors[i] = donor;
  }
  grid.efficiency = std::move(acceptors);
  grid.one_minus_efficiency = std::move(donors);
  return grid;
}

}  // namespace pelmora
