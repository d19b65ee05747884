// Each burst's shares of photons whose colour owes nothing to its distance,
// mixed into its colour probabilities (engine/background_colours.h): the
// background of the donor and of the acceptor channel, and the acceptor
// photons of direct excitation,
//
//   fD = background donor photons / n, fA = background acceptor photons / n,
//   fdir = delta n_aa(background-corrected) / n,
//
// n the burst's analysed photons; their sum is capped at kMaxBackgroundShare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bursts/background.h"
#include "bursts/background_choice.h"
#include "bursts/burst.h"
#include "engine/background_colours.h"
#include "input/measurement.h"
#include "state/fret_corrections.h"

namespace pelmora {

// `background`: the background photons expected over the burst's window
// (donor and acceptor channel under donor excitation, as mixed in: zero
// with the background off; acceptor-excitation acceptor channel, subtracted
// from n_aa); `analysed`: the photons of its record.  Direct excitation
// needs n_aa: with dir_ex > 0 a burst without acceptor-excitation counts is
// refused (kInput; check_corrections_for refuses such a measurement first).
CappedShares burst_colour_shares(const BurstCounts& counts, const BackgroundCounts& background,
                                 std::int64_t analysed, const FretCorrections& corrections);

// Refuses (kInput, naming --dir-ex) direct excitation on a measurement
// without acceptor excitation, whose bursts have no n_aa to scale it by.
void check_corrections_for(const FretCorrections& corrections,
                           const MeasurementDescription& measurement);

// Bursts whose shares were capped.
struct ShareCapWarning {
  std::size_t capped = 0;
  std::size_t bursts = 0;
  double largest_sum = 0;  // of the shares before the cap

  // "In 12 of 300 bursts the background and direct excitation were expected
  // to give more than 50 % of the analysed photons (up to 73 %); ..."
  std::string text() const;
};
std::optional<ShareCapWarning> share_cap_warning(std::span<const CappedShares> shares);

}  // namespace pelmora
