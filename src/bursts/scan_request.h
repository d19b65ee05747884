// What a scan of bursts is asked for: the distance grid, the coefficients,
// the model of the distance, the background mixed into the colours and the
// corrections of the setup.  The default background (none asked for) is
// decided here and nowhere else.
#pragma once

#include <optional>
#include <vector>

#include "bursts/background_choice.h"
#include "state/analysis_settings.h"
#include "state/distance_model.h"
#include "state/fret_corrections.h"

namespace pelmora {

// Coefficients log-spaced from `min` to `max` (m^2/s), as scan mode spaces
// them (log_spaced_coefficients).
struct CoefficientRange {
  double min = 0;
  double max = 0;
  int runs = 0;
  bool operator==(const CoefficientRange&) const = default;
};

struct ScanRequest {
  AnalysisSettings analysis = derive_settings({});
  std::vector<double> coefficients;  // m^2/s, increasing
  // How the coefficients were asked for, when they are a range (the settings
  // line names the range; otherwise it lists the values).
  std::optional<CoefficientRange> coefficient_range;
  ModelScan model;
  // None: the default (default_background).
  std::optional<BackgroundChoice> background;
  FretCorrections corrections;

  bool operator==(const ScanRequest&) const = default;
};

// The request for the coefficients of `range`.
ScanRequest request_for_range(const AnalysisSettings& analysis, const CoefficientRange& range);

// The background when none is asked for: auto with a confined model on a
// measurement's bursts, off otherwise.  A confined model is asked for to get
// D right, and a few background photons per burst bias it as much as the
// confinement; "free" keeps the single-record program's numbers.
BackgroundChoice default_background(const ModelScan& model, bool from_measurement);

// The background of a request: the one asked for, else the default.
BackgroundChoice resolved_background(const ScanRequest& request, bool from_measurement);

// Refuses (kInput) no coefficients or one that is not a positive finite
// number, coefficients that do not increase, corrections outside
// their ranges (check_corrections), and background auto without a
// measurement.
void check_request(const ScanRequest& request, bool from_measurement);

// Refuses (kInput, naming the option) corrections that are not finite,
// gamma <= 0, leakage outside [0, 1), dir_ex < 0 and beta <= 0
// (check_fret_corrections).
void check_corrections(const FretCorrections& corrections);

}  // namespace pelmora
