// A burst as the analysis sees it: a closed time window in seconds of the
// measurement, and what that window holds.
#pragma once

#include <cstdint>

namespace pelmora {

struct BurstWindow {
  std::int64_t number = 0;  // the table's label; the search numbers from 0
  double t_start_s = 0;     // a photon belongs to the burst when
  double t_stop_s = 0;      // t_start_s <= timestamp * unit <= t_stop_s
};

// The photons of a window.  The analysed photons are those of the donor and
// the acceptor channel excited by the donor laser.
struct BurstCounts {
  std::int64_t photons = 0;   // every photon of the window, any excitation
  std::int64_t donor = 0;     // analysed, donor channel
  std::int64_t acceptor = 0;  // analysed, acceptor channel

  std::int64_t analysed() const { return donor + acceptor; }
  // nA / (nA + nD), without any correction; NaN for a window without
  // analysed photons.
  double raw_efficiency() const;
};

struct Burst {
  BurstWindow window;
  BurstCounts counts;
};

}  // namespace pelmora
