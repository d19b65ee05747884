// A burst as the analysis sees it: a closed time window in seconds of the
// measurement, and what that window holds.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

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
  std::int64_t donor = 0;     // analysed, donor channel (n_dd)
  std::int64_t acceptor = 0;  // analysed, acceptor channel (n_da)
  // Acceptor channel under acceptor excitation (n_aa); none for a
  // measurement without acceptor excitation.
  std::optional<std::int64_t> acceptor_excited{};

  std::int64_t analysed() const { return donor + acceptor; }
  // nA / (nA + nD), without any correction; NaN for a window without
  // analysed photons.
  double raw_efficiency() const;
};

// What a burst's photon streams (its counts) say in the field's terms
// (bursts/burst_columns.h names them): the counts less the background
// expected over the window, and the FRET efficiency and stoichiometry before
// and after the corrections (bursts/burst_streams.h computes them).  NaN
// where a value is not defined: n_aa_corr, S_raw and S without acceptor
// excitation, a ratio whose denominator is not positive.
struct BurstStreams {
  static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  double n_dd_corr = kNone;
  double n_da_corr = kNone;
  double n_aa_corr = kNone;
  double E_raw = kNone;  // n_da / (n_dd + n_da), corrected counts
  double S_raw = kNone;  // (n_dd + n_da) / (n_dd + n_da + n_aa), corrected counts
  double E = kNone;      // with gamma, leakage and direct excitation
  double S = kNone;      // and beta
};

struct Burst {
  BurstWindow window;
  BurstCounts counts;
  BurstStreams streams;
};

}  // namespace pelmora
