// The setup's corrections (state/fret_corrections.h) in the colour
// probabilities of the photon model.  Of a molecule at distance r, with E =
// E(r), a donor-excitation photon is
//
//   an acceptor photon with P*(A | r) = (gamma E + alpha (1 - E)) / N,
//   a donor photon with     P*(D | r) = (1 - E) / N,
//   N = (1 + alpha) (1 - E) + gamma E:
//
// the donor's photons (1 - E) are seen in the donor channel and leak into
// the acceptor channel (alpha (1 - E)); the acceptor's (E) are seen gamma
// times as readily.  Direct excitation of the acceptor does not depend on r:
// it is a share of a record's photons, as the background is
// (engine/background_colours.h).  Beta enters the stoichiometry only.
#pragma once

#include "state/distance_grid.h"
#include "state/fret_corrections.h"

namespace pelmora {

// Refuses (kInput, naming --gamma, --leakage, --dir-ex or --beta) a value
// that is negative or not finite, gamma or beta of 0, and leakage of 1 or
// more.
void check_fret_corrections(const FretCorrections& corrections);

// `grid` with P*(A | r) and P*(D | r) as its colours (say
// corrected_grid(make_model_grid(settings, model), corrections), for any
// model); `grid` as it was, to the bit, when gamma is 1 and leakage 0 (direct excitation and beta
// leave the grid as it is).  Checks the corrections first, and refuses (kInput) those that make a
// colour certain or impossible (P*(A | r) 1 or 0) at a point of the grid where E(r) left both
// colours possible, or a value that is not a probability: such a grid would rule out distances for
// the corrections' sake alone.
DistanceGrid corrected_grid(DistanceGrid grid, const FretCorrections& corrections);

}  // namespace pelmora
