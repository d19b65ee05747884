// What every burst search does once it knows which photons are in a burst:
// runs of photons (first to last, in time order) become bursts with table
// windows, fused where they share photons or their nine-decimal windows
// would touch, and kept when they hold enough analysed photons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "bursts/background.h"
#include "bursts/burst_search.h"
#include "input/measurement.h"
#include "state/fret_corrections.h"

namespace pelmora {

class BurstCollector {
 public:
  // Keeps references to all five arguments.  `background` and the options'
  // corrections give the kept bursts' streams (burst_streams.h).  With
  // `spacing_ticks` (T / (m - 1) of each background window, in timestamp
  // units) and BurstEdges::kTrimmed, each burst loses its isolated edge
  // photons (sliding_window.h); empty: the bursts are kept as the runs give
  // them.
  BurstCollector(const Measurement& measurement, const BurstSearchOptions& options,
                 const Background& background, std::span<const double> spacing_ticks,
                 BurstSearchResult& result);

  // Photons [first, last] of the measurement; runs come in time order, a run
  // never starting before the one before it.
  void add_run(std::size_t first, std::size_t last);
  // Keeps or drops the burst still open; call once after the last run.
  void finish();

 private:
  const Measurement& measurement_;
  const BurstSearchOptions& options_;
  const Background& background_;
  std::span<const double> spacing_ticks_;
  BurstSearchResult& result_;
  bool open_ = false;
  std::size_t first_ = 0;  // photon indices
  std::size_t last_ = 0;
  double start_s_ = 0;  // table window
  double stop_s_ = 0;
};

}  // namespace pelmora
