// The setup's leakage and direct excitation from the single-colour
// populations of an ALEX measurement, as the field estimates them:
//
//   leakage alpha = sum n_da / sum n_dd over the donor-only bursts
//                   (S_raw above 0.9: no acceptor, or a bleached one);
//   dir_ex delta  = sum (n_da - alpha n_dd) / sum n_aa over the acceptor-only
//                   bursts (S_raw below 0.2: no donor, or a bleached one),
//
// every count background-corrected.  Each comes with a bootstrap 95 %
// interval over the bursts (both populations resampled together, so that
// delta's interval carries alpha's uncertainty) and the number of bursts it
// rests on.  Gamma cannot be had from a single population: it stays as
// given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "bursts/burst.h"
#include "bursts/d_estimate.h"
#include "input/measurement.h"

namespace pelmora {

// Fewer bursts than this in a population give no estimate: the ratio of
// sums would rest on a handful of molecules.
inline constexpr std::size_t kMinPopulationBursts = 20;

struct CorrectionEstimateOptions {
  double donor_only_min_s = 0.9;     // S_raw above: donor-only
  double acceptor_only_max_s = 0.2;  // S_raw below: acceptor-only
  int resamples = 1000;              // of the bootstrap, >= 1
  std::uint64_t seed = 1;
  // The leakage that direct excitation is corrected for when the donor-only
  // population cannot give one (the given --leakage).
  double known_leakage = 0;
};

struct CoefficientEstimate {
  std::optional<double> value;   // none: see `reason`
  std::optional<Interval> ci95;  // bootstrap percentile interval
  std::size_t bursts = 0;        // of its population
  std::string reason;            // why there is no value; empty with one
};

struct CorrectionEstimate {
  CoefficientEstimate leakage;
  CoefficientEstimate dir_ex;
  CorrectionEstimateOptions options;
  // Whether the direct excitation used the estimated leakage (false: the
  // known one, as the donor-only population gave none).
  bool dir_ex_after_estimated_leakage = false;

  bool any() const { return leakage.value || dir_ex.value; }
  // The options ready to paste: "--leakage 0.0712 --dir-ex 0.0521" (those
  // that were estimated; empty when none).
  std::string options_text() const;
};

// Refuses (kInput) a measurement without acceptor excitation, naming its
// type, and options out of range.  `bursts` carry their streams
// (bursts/burst_streams.h).
CorrectionEstimate estimate_corrections(std::span<const Burst> bursts,
                                        const MeasurementDescription& measurement,
                                        const CorrectionEstimateOptions& options = {});

}  // namespace pelmora
