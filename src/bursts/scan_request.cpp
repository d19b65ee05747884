#include "bursts/scan_request.h"

#include <cmath>

#include "base/error.h"
#include "engine/corrected_colours.h"
#include "engine/scan_arithmetic.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

[[noreturn]] void refuse(std::string message) {
  throw Error(ErrorKind::kInput, std::move(message));
}

}  // namespace

ScanRequest request_for_range(const AnalysisSettings& analysis, const CoefficientRange& range) {
  ScanRequest request;
  request.analysis = analysis;
  request.coefficients = log_spaced_coefficients(range.min, range.max, range.runs);
  request.coefficient_range = range;
  return request;
}

BackgroundChoice default_background(const ModelScan& model, bool from_measurement) {
  BackgroundChoice choice;
  if (model.confined() && from_measurement) choice.mode = BackgroundChoice::Mode::kAuto;
  return choice;
}

BackgroundChoice resolved_background(const ScanRequest& request, bool from_measurement) {
  return request.background ? *request.background
                            : default_background(request.model, from_measurement);
}

void check_corrections(const FretCorrections& corrections) {
  check_fret_corrections(corrections);
}

void check_request(const ScanRequest& request, bool from_measurement) {
  if (request.coefficients.empty()) refuse("No diffusion coefficients to scan.");
  for (std::size_t i = 0; i < request.coefficients.size(); ++i) {
    const double d = request.coefficients[i];
    if (!(d > 0) || !std::isfinite(d)) {
      refuse(format_text("Diffusion coefficient %g m^2/s must be a positive finite number.", d));
    }
    if (i > 0 && !(d > request.coefficients[i - 1])) {
      refuse("The diffusion coefficients must increase.");
    }
  }
  check_corrections(request.corrections);
  if (resolved_background(request, from_measurement).mode == BackgroundChoice::Mode::kAuto &&
      !from_measurement) {
    refuse(
        "The background auto is estimated from a measurement; for bursts without one give "
        "the rates (D_HZ,A_HZ) or off.");
  }
}

}  // namespace pelmora
