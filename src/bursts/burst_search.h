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
//
// The dual-channel burst search (DCBS; Nir et al., J. Phys. Chem. B 110,
// 22103 (2006)) searches two streams of an ALEX measurement the same way,
// each with the threshold of its own background rate: the donor-excitation
// photons of both channels (DD + DA) and the acceptor-excitation photons of
// the acceptor channel (AA).  A burst is where both streams are in a burst
// at the same time: each pair of overlapping bursts of the two searches
// gives the intersection of their spans, from the later start to the earlier
// stop (the field's "AND gate").  Molecules without an active acceptor, or
// without a donor, burst in one stream only and are left out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bursts/background.h"
#include "bursts/burst.h"
#include "input/measurement.h"
#include "state/fret_corrections.h"

namespace pelmora {

enum class BurstSearchMethod {
  kAllPhotons,   // "apbs": every photon, one stream
  kDualChannel,  // "dcbs": donor- and acceptor-excitation streams, intersected
};

// "apbs" or "dcbs"; throws kInput naming the text otherwise.
BurstSearchMethod parse_burst_search_method(const std::string& text);
const char* burst_search_method_name(BurstSearchMethod method);

// What a burst's size (min_photons) counts: its analysed photons (donor
// excitation, both channels), or the photons of all three streams, n_dd +
// n_da + n_aa, which keeps the acceptor-only molecules that the estimate of
// direct excitation needs.
enum class BurstSize { kAnalysed, kAllStreams };

// Where a burst begins and ends.  kWindows: at the first photon of its first
// window in a burst and the last photon of its last, the field's classic
// search.  Such edges reach into the background: the window of m photons
// that first passes the threshold often starts on a background photon (b T =
// (m - 1) / F of them are expected within T), and the last often ends on
// one.  Isolated at the edges, after long gaps, such photons tell the photon
// model of distance changes that were not there, and raise D (by about 4 %
// on simulated measurements, bench/RESULTS.md), which the background's
// average share cannot undo.  kTrimmed: the same bursts without their
// isolated edge photons, those further than T / (m - 1) (the mean spacing at
// the minimum rate) from the next photon inward (sliding_window.h).
enum class BurstEdges { kTrimmed, kWindows };

struct BurstSearchOptions {
  int m = 10;                          // photons of the sliding window, >= 2
  double F = 6.0;                      // rate_min = F * background rate
  std::optional<double> min_rate_khz;  // rate_min given instead, kHz
  int min_photons = 30;                // photons a burst needs (see `size`), >= 1
  BurstSize size = BurstSize::kAnalysed;
  double background_window_s = 60.0;  // for estimate_background
  BurstSearchMethod method = BurstSearchMethod::kAllPhotons;
  BurstEdges edges = BurstEdges::kTrimmed;
  // For the bursts' E and S (bursts/burst_streams.h); the windows do not
  // depend on them.
  FretCorrections corrections;
};

struct BurstSearchResult {
  // Numbered from 0 in time order.  Each window is the time of the burst's
  // first photon rounded down and of its last rounded up to nine decimals,
  // exactly as the table will carry it; counts are of that window, streams
  // with the background of the search (none with a minimum rate).
  std::vector<Burst> bursts;
  std::int64_t too_small = 0;  // dropped for fewer than min_photons photons
  // T of each background window: of all photons, or for DCBS of the
  // donor-excitation stream (and of the acceptor-excitation stream below;
  // empty for the all-photons search).
  std::vector<double> threshold_s;
  std::vector<double> acceptor_excitation_threshold_s;
};

// `background` is estimate_background(measurement, background_window_s); with
// a minimum rate it is not used and may be empty, and the bursts' streams
// then subtract no background.  Throws kInput for options out of range, when
// F is to be used but a searched stream's background could not be
// estimated, and for DCBS on a measurement without acceptor excitation.
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
