// Background rates from the tail of the inter-photon delays.  Between bursts
// photons come from a Poisson background, so their delays are exponential;
// delays inside bursts are short.  Above a threshold tau the background delays
// are exponential again with the same rate (the exponential has no memory),
// and the maximum-likelihood rate is 1 / mean(delay - tau) over the delays
// longer than tau.
//
// The threshold: a fixed one serves either dim or bright backgrounds badly.
// We follow the automatic threshold of the field's burst-analysis packages:
// a first fit with tau0 = 250 us (far above the delays of a burst of some
// 10-100 kHz, e^-25 at 100 kHz), then tau = 2 / rate0, twice the mean
// background delay.  Scaling tau with the background keeps the same share
// of the background delays (e^-2, about 14 %) whatever its level, while the
// tails of dim bursts, whose delays are a fair fraction of the background's,
// stay out.
//
// Rates are photons per second of real time (of the whole measurement, both
// excitation periods).  For the streams of one excitation (the donor and the
// acceptor channel within the donor-excitation periods) this is the rate per
// second of total time, not per second of donor excitation: with us-ALEX the
// tail delays span many alternation periods, so their rate is the average
// over the periods.  The expected number of background photons of a stream in
// a burst is therefore that rate times the burst's duration in real time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "input/measurement.h"

namespace pelmora {

// The first threshold and the factor of the second (see above).
inline constexpr double kFirstTailThresholdS = 250e-6;
inline constexpr double kTailThresholdFactor = 2.0;
// A window whose fit rests on fewer tail delays than this takes the estimate
// of the whole measurement instead: the ML rate's relative error is
// 1/sqrt(n), 10 % at 100 delays.
inline constexpr std::int64_t kMinTailDelays = 100;

struct StreamRate {
  double rate_hz = 0;            // photons per second of real time
  double tail_threshold_s = 0;   // tau of the fit
  std::int64_t tail_delays = 0;  // delays longer than tau
  // For a window: too few tail delays, the whole measurement's estimate is
  // used (and the two fields above are the whole measurement's).  For the
  // whole measurement: no delay above the threshold at all, rate_hz is 0.
  bool fallback = false;
};

struct StreamRates {
  StreamRate all;       // every photon: the search's stream
  StreamRate donor;     // donor channel, donor excitation
  StreamRate acceptor;  // acceptor channel, donor excitation
  // Acceptor channel, acceptor excitation (the n_aa stream of an ALEX
  // measurement; 0 without acceptor excitation, and then never warned about).
  StreamRate acceptor_excited;
};

struct BackgroundWindow {
  double t_start_s = 0;  // [t_start_s, t_stop_s) of real time; the first window
  double t_stop_s = 0;   // reaches back and the last forward without end
  StreamRates rates;
};

struct Background {
  double window_s = 0;
  std::int64_t origin_timestamp = 0;      // of the first photon
  double window_ticks = 0;                // window_s in timestamp units
  StreamRates whole;                      // over the whole measurement
  std::vector<BackgroundWindow> windows;  // at least one
  // Sentences for estimates that fell back or are weak.
  std::vector<std::string> warnings;
  // The same about the acceptor-excitation stream (n_aa), apart: for the
  // analyses that use it (S, direct excitation, the dual-channel search).
  std::vector<std::string> acceptor_excitation_warnings;

  // The window of a photon with this timestamp.
  std::size_t window_of(std::int64_t timestamp) const;
};

// Estimates the rates over the whole measurement and over consecutive windows
// of `window_s` seconds from the first photon (infinite: one window).  A last
// window shorter than 3 % of window_s is joined to the one before.  Throws
// kInput for a window_s that is not positive.
Background estimate_background(const Measurement& measurement, double window_s);

// Expected background photons of the analysed streams (and of the
// acceptor-excitation stream) in [t_start_s, t_stop_s]
// (seconds of real time): each window's rate times the part of the interval
// it covers.
struct BackgroundCounts {
  double donor = 0;
  double acceptor = 0;
  double acceptor_excited = 0;  // acceptor channel, acceptor excitation
};
BackgroundCounts expected_background(const Background& background, double t_start_s,
                                     double t_stop_s);

}  // namespace pelmora
