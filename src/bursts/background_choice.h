// Which background photons a burst scan mixes into the colours (--background,
// background= in Python): none (off), the rates the burst search estimates
// from the measurement itself (auto), or given rates.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "bursts/background.h"
#include "bursts/burst.h"
#include "state/photon_list.h"

namespace pelmora {

struct BackgroundChoice {
  enum class Mode { kOff, kAuto, kRates };
  Mode mode = Mode::kOff;
  double donor_hz = 0;     // kRates: per second of real time, donor channel
  double acceptor_hz = 0;  // and acceptor channel, both in donor excitation

  // "off", "auto" or the rates as given back exactly ("1500,1500").
  std::string text() const;
};

// "off", "auto" or "D_HZ,A_HZ" (finite, >= 0).  Throws kInput otherwise.
BackgroundChoice parse_background_choice(const std::string& text);

// Each burst's background shares: the expected background photons of the
// donor and the acceptor channel over its window (the rates times its span
// in real time, as the burst search counts them) over its analysed photons,
// capped (engine/background_colours.h).  `estimated` serves kAuto and must
// then be given; kOff gives shares of 0.
std::vector<BackgroundShares> burst_background_shares(const BackgroundChoice& choice,
                                                      const Background* estimated,
                                                      std::span<const BurstWindow> windows,
                                                      std::span<const int> analysed);

}  // namespace pelmora
