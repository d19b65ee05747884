// A burst's photon streams in the field's terms: its counts less the
// background expected over its window, the raw FRET efficiency and
// stoichiometry of those, and E and S with the setup's corrections,
//
//   F_A = n_da - alpha n_dd - delta n_aa
//   E   = F_A / (F_A + gamma n_dd)
//   S   = (F_A + gamma n_dd) / (F_A + gamma n_dd + n_aa / beta)
//
// all of background-corrected counts.  With the default corrections E and S
// are E_raw and S_raw to the bit.
#pragma once

#include <span>
#include <vector>

#include "bursts/background.h"
#include "bursts/burst.h"
#include "input/measurement.h"
#include "state/fret_corrections.h"

namespace pelmora {

// `background`: the photons of each stream the background is expected to
// give over the burst's window (expected_background; zero when the
// background is not subtracted).
BurstStreams burst_streams(const BurstCounts& counts, const BackgroundCounts& background,
                           const FretCorrections& corrections);

// The burst of `window`: its photons counted and its streams computed, the
// background taken from `background` (an empty Background subtracts
// nothing).
Burst describe_burst(const Measurement& measurement, const BurstWindow& window,
                     const Background& background, const FretCorrections& corrections);

// The same for every window of a table, in its order.
std::vector<Burst> describe_bursts(const Measurement& measurement,
                                   std::span<const BurstWindow> windows,
                                   const Background& background,
                                   const FretCorrections& corrections);

}  // namespace pelmora
