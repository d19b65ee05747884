#include "engine/background_colours.h"

#include <algorithm>

namespace pelmora {

BackgroundShares background_shares(double donor, double acceptor, double analysed) {
  return colour_shares(donor, acceptor, 0.0, analysed).shares;
}

CappedShares colour_shares(double donor, double acceptor, double direct, double analysed) {
  CappedShares capped;
  if (!(analysed > 0)) return capped;
  BackgroundShares& shares = capped.shares;
  shares.donor = std::max(donor, 0.0) / analysed;
  shares.acceptor = std::max(acceptor, 0.0) / analysed;
  shares.direct = std::max(direct, 0.0) / analysed;
  const double total = shares.donor + shares.acceptor + shares.direct;
  capped.uncapped_sum = total;
  if (total > kMaxBackgroundShare) {
    capped.capped = true;
    shares.donor *= kMaxBackgroundShare / total;
    shares.acceptor *= kMaxBackgroundShare / total;
    shares.direct *= kMaxBackgroundShare / total;
  }
  return capped;
}

std::shared_ptr<const MixedColours> mix_background(const DistanceGrid& grid,
                                                   const BackgroundShares& shares) {
  if (shares.donor == 0 && shares.acceptor == 0 && shares.direct == 0) return nullptr;
  const int bins = grid.points.bins;
  auto colours = std::make_shared<MixedColours>();
  colours->shares = shares;
  colours->donor = dvector(0, bins + 1);
  colours->acceptor = dvector(0, bins + 1);
  // Direct excitation enters only when there is some, so that without it
  // the colours are those of the background alone to the bit.
  const double signal = shares.direct == 0 ? 1 - shares.donor - shares.acceptor
                                           : 1 - shares.donor - shares.acceptor - shares.direct;
  const double acceptor = shares.direct == 0 ? shares.acceptor : shares.acceptor + shares.direct;
  for (int i = 0; i < bins; ++i) {
    colours->acceptor[i] = signal * grid.efficiency[i] + acceptor;
    colours->donor[i] = signal * grid.one_minus_efficiency[i] + shares.donor;
  }
  return colours;
}

}  // namespace pelmora
