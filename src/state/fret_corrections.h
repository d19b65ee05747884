// The setup's known imperfections in the colours of the photons, in the
// field's usual terms.  The defaults describe a perfect setup: with them
// every colour probability is exactly what it is without corrections.
//
//   leakage alpha   donor emission detected in the acceptor channel, per
//                   photon of the donor channel
//   dir_ex delta    acceptor photons excited directly by the donor laser, per
//                   acceptor photon under acceptor excitation
//   gamma           detection efficiency times quantum yield of the acceptor
//                   over that of the donor
//   beta            acceptor-excitation over donor-excitation intensity (for
//                   the stoichiometry S only)
#pragma once

namespace pelmora {

struct FretCorrections {
  double gamma = 1.0;
  double leakage = 0.0;
  double dir_ex = 0.0;
  double beta = 1.0;

  bool none() const { return gamma == 1.0 && leakage == 0.0 && dir_ex == 0.0 && beta == 1.0; }
  bool operator==(const FretCorrections&) const = default;
};

}  // namespace pelmora
