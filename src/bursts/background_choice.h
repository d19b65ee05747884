// Which background photons a burst scan mixes into the colours (--background,
// background= in Python): none (off), the rates the burst search estimates
// from the measurement itself (auto), or given rates.
#pragma once

#include <string>

#include "state/photon_list.h"

namespace pelmora {

struct BackgroundChoice {
  enum class Mode { kOff, kAuto, kRates };
  Mode mode = Mode::kOff;
  double donor_hz = 0;     // kRates: per second of real time, donor channel
  double acceptor_hz = 0;  // and acceptor channel, both in donor excitation

  // "off", "auto" or the rates as given back exactly ("1500,1500").
  std::string text() const;
  bool operator==(const BackgroundChoice&) const = default;
};

// "off", "auto" or "D_HZ,A_HZ" (finite, >= 0).  Throws kInput otherwise.
BackgroundChoice parse_background_choice(const std::string& text);

// The shares of `photons` analysed photons over `span_s` seconds of real
// time that given rates (kRates) expect from the background: each rate times
// the span, over the photons, capped (engine/background_colours.h).
BackgroundShares rate_shares(const BackgroundChoice& choice, double span_s, int photons);

}  // namespace pelmora
