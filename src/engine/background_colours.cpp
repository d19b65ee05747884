#include "engine/background_colours.h"

#include <algorithm>

namespace pelmora {

BackgroundShares background_shares(double donor, double acceptor, double analysed) {
  BackgroundShares shares;
  if (!(analysed > 0)) return shares;
  shares.donor = std::max(donor, 0.0) / analysed;
  shares.acceptor = std::max(acceptor, 0.0) / analysed;
  const double total = shares.donor + shares.acceptor;
  if (total > kMaxBackgroundShare) {
    shares.donor *= kMaxBackgroundShare / total;
    shares.acceptor *= kMaxBackgroundShare / total;
  }
  return shares;
}

std::shared_ptr<const MixedColours> mix_background(const DistanceGrid& grid,
                                                   const BackgroundShares& shares) {
  if (shares.donor == 0 && shares.acceptor == 0) return nullptr;
  const int bins = grid.points.bins;
  auto colours = std::make_shared<MixedColours>();
  colours->shares = shares;
  colours->donor = dvector(0, bins + 1);
  colours->acceptor = dvector(0, bins + 1);
  const double signal = 1 - shares.donor - shares.acceptor;
  for (int i = 0; i < bins; ++i) {
    colours->acceptor[i] = signal * grid.efficiency[i] + shares.acceptor;
    colours->donor[i] = signal * grid.one_minus_efficiency[i] + shares.donor;
  }
  return colours;
}

}  // namespace pelmora
