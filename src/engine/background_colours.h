// Background photons in the colour probabilities.  A background photon's
// colour has nothing to do with the distance, so a record whose photons are
// a share fD (donor channel) and fA (acceptor channel) background sees
// P(acceptor | r) = (1 - fD - fA) E(r) + fA, P(donor | r) = (1 - fD - fA)
// (1 - E(r)) + fD.  Acceptor photons of direct excitation are such photons
// too, a share fdir of the acceptor channel's: P(acceptor | r) = (1 - fD -
// fA - fdir) E(r) + fA + fdir, P(donor | r) = (1 - fD - fA - fdir) (1 - E(r))
// + fD.  On a grid with the setup's corrections (engine/corrected_colours.h)
// E(r) and 1 - E(r) stand for its P*(A | r) and P*(D | r).
#pragma once

#include <memory>

#include "state/distance_grid.h"
#include "state/photon_list.h"

namespace pelmora {

// The largest total share taken: more than half the photons from the
// background would leave hardly anything of the distance, and an estimate
// that high says more about the rates than about the burst.
inline constexpr double kMaxBackgroundShare = 0.5;

// The shares of `analysed` photons (> 0) when `donor` and `acceptor`
// background photons are expected: each count over the photons, both
// scaled down together when their sum exceeds kMaxBackgroundShare.
BackgroundShares background_shares(double donor, double acceptor, double analysed);

// The shares with direct excitation as well: `direct` acceptor photons of
// direct excitation expected besides the background's; the cap applies to
// the sum of the three.  With `direct` 0 the shares are background_shares'
// to the bit.
struct CappedShares {
  BackgroundShares shares;
  bool capped = false;      // the sum exceeded kMaxBackgroundShare
  double uncapped_sum = 0;  // fD + fA + fdir before the cap
};
CappedShares colour_shares(double donor, double acceptor, double direct, double analysed);

// The mixed colours of `shares` on `grid`; none when every share is 0, so
// that such a record keeps the grid's own colours bit for bit.
std::shared_ptr<const MixedColours> mix_background(const DistanceGrid& grid,
                                                   const BackgroundShares& shares);

}  // namespace pelmora
