// The photons of one burst window, found by binary search on the timestamps
// (a table may hold thousands of bursts over ten million photons), and turned
// into the times the engine analyses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bursts/burst.h"
#include "input/measurement.h"

namespace pelmora {

// Indices [begin, end) of the photons with t_start_s <= timestamp * unit <=
// t_stop_s, compared in double as Measurement::seconds computes them.
struct PhotonRange {
  std::size_t begin = 0;
  std::size_t end = 0;
};
PhotonRange photons_in_window(const Measurement& measurement, double t_start_s, double t_stop_s);

BurstCounts count_burst_photons(const Measurement& measurement, double t_start_s, double t_stop_s);

// The analysed photons of a burst as the photon-file reader would hold them
// had the burst been written out as a photon file: times in microseconds from
// the first analysed photon, (timestamp - first timestamp) * (unit * 1e6) in
// double rounded to float, and a photon whose time equals its predecessor's
// moved 0.01 us later in the reader's way.
struct BurstPhotons {
  std::vector<double> times_us;        // each value a float
  std::vector<std::uint8_t> acceptor;  // 1: acceptor channel, 0: donor channel
  std::int64_t first_timestamp = 0;    // of the first analysed photon
  // Photons moved as simultaneous (the reader warns once for each).
  int shifted = 0;
  // A moved photon passes the next one: the reader would refuse such a file
  // ("photon times not sorted"), so the burst cannot be analysed as it is.
  bool unordered = false;
};
BurstPhotons burst_photons(const Measurement& measurement, const BurstWindow& window);

}  // namespace pelmora
