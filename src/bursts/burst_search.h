// The sliding-window burst search over all photons (both channels, both
// excitations).  A window of m consecutive photons is "in a burst" when the
// first and the last lie within T = (m - 1) / rate_min of each other;
// rate_min is given, or F times the background rate of all photons in the
// background window of the m photons' first photon.
//
// Start and stop follow the field's reference search (FRETBursts' bsearch):
// a run of consecutive windows in a burst is one burst, from the first photon
// of its first window to the last photon of its last window, the comparison
// being "<= T"; a run that reaches the end of the photons ends at the last
// photon.  Two runs separated by fewer than m - 1 windows out of a burst
// share photons; such bursts are fused into one, as FRETBursts' fusion of
// overlapping bursts does (fuse_bursts with a gap of 0), because the table
// must give each photon to one burst at most.  For the same reason bursts
// whose nine-decimal table windows would touch are fused too.
//
// Unlike FRETBursts, which searches each background window on its own and so
// cuts bursts at the window boundaries, the search runs through: only the
// threshold T changes from one background window to the next.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "bursts/background.h"
#include "bursts/burst.h"
#include "input/measurement.h"

namespace pelmora {

struct BurstSearchOptions {
  int m = 10;                          // photons of the sliding window, >= 2
  double F = 6.0;                      // rate_min = F * background rate
  std::optional<double> min_rate_khz;  // rate_min given instead, kHz
  int min_photons = 30;                // analysed photons a burst needs, >= 1
  double background_window_s = 60.0;   // for estimate_background
};

struct BurstSearchResult {
  // Numbered from 0 in time order.  Each window is the time of the burst's
  // first photon rounded down and of its last rounded up to nine decimals,
  // exactly as the table will carry it; counts are of that window.
  std::vector<Burst> bursts;
  std::int64_t too_small = 0;       // dropped for fewer than min_photons analysed photons
  std::vector<double> threshold_s;  // T of each background window
};

// `background` is estimate_background(measurement, background_window_s); with
// a minimum rate it is not used and may be empty.  Throws kInput for options
// out of range, and when F is to be used but the background of all photons
// could not be estimated.
BurstSearchResult search_bursts(const Measurement& measurement, const BurstSearchOptions& options,
                                const Background& background);

// The search with the background it needs: estimated from the measurement
// (per options.background_window_s) unless a minimum rate is given.
struct MeasurementSearch {
  BurstSearchResult found;
  std::optional<Background> background;
};
MeasurementSearch search_measurement(const Measurement& measurement,
                                     const BurstSearchOptions& options);

}  // namespace pelmora
