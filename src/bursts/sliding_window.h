// The sliding-window criterion over one stream of photons: a window of m
// consecutive photons of the stream is in a burst when its first and last
// photon lie within T of each other, T being that of the background window
// of its first photon.  Consecutive windows in a burst make a run, from the
// first photon of its first window to the last photon of its last window; a
// run that reaches the end of the stream ends at its last photon.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "bursts/background.h"
#include "input/measurement.h"

namespace pelmora {

// `timestamp_at(k)`: the timestamp of the stream's photon k (0 <= k < n),
// non-decreasing; `threshold_ticks[w]`: T of background window w in
// timestamp units (one entry when the background has no windows).  Calls
// `report(first, last)` for every run, in order, with stream positions.
template <typename TimestampAt, typename Report>
void sliding_window_runs(std::size_t n, const TimestampAt& timestamp_at, std::size_t m,
                         const Background& background, std::span<const double> threshold_ticks,
                         const Report& report) {
  if (n < m) return;
  const std::size_t windows = threshold_ticks.size();
  const std::size_t last_window_start = n - m;
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t run_start = kNone;
  std::size_t i = 0;
  while (i <= last_window_start) {
    // The photons of one background window share a threshold; the window
    // index only grows with i.
    const std::size_t w = background.window_of(timestamp_at(i));
    const double threshold = threshold_ticks[w];
    std::size_t segment_end = last_window_start + 1;
    if (w + 1 < windows) {
      // The first photon of a later background window.
      std::size_t low = i;
      std::size_t high = n;
      while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (background.window_of(timestamp_at(mid)) <= w) {
          low = mid + 1;
        } else {
          high = mid;
        }
      }
      segment_end = std::min(segment_end, low);
    }
    for (; i < segment_end; ++i) {
      const bool in_burst = ticks_between(timestamp_at(i), timestamp_at(i + m - 1)) <= threshold;
      if (in_burst) {
        if (run_start == kNone) run_start = i;
      } else if (run_start != kNone) {
        report(run_start, i - 1 + m - 1);
        run_start = kNone;
      }
    }
  }
  if (run_start != kNone) report(run_start, n - 1);
}

// A stream's burst [first, last] (stream positions) without its isolated
// edge photons: while the first photon lies further than `spacing_ticks` (the
// mean spacing at the minimum burst rate, T / (m - 1)) from the next, it is
// left out, and so the last from the one before.  Such a photon is where the
// rate is below the burst criterion; the window that took it in did so for
// the photons after it (or before it).  A burst holds a window of m photons
// within T, so at least two photons stay.
template <typename TimestampAt>
std::pair<std::size_t, std::size_t> without_isolated_edges(std::size_t first, std::size_t last,
                                                           const TimestampAt& timestamp_at,
                                                           double spacing_ticks) {
  while (first < last &&
         ticks_between(timestamp_at(first), timestamp_at(first + 1)) > spacing_ticks) {
    ++first;
  }
  while (last > first &&
         ticks_between(timestamp_at(last - 1), timestamp_at(last)) > spacing_ticks) {
    --last;
  }
  return {first, last};
}

}  // namespace pelmora
