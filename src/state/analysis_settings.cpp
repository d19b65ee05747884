#include "state/analysis_settings.h"

#include <cmath>

#include "base/error.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

[[noreturn]] void refuse(std::string message) {
  throw Error(ErrorKind::kInput, std::move(message));
}

}  // namespace

AnalysisSettings derive_settings(const AnalysisOptions& options) {
  if (!(options.foerster_radius > 0) || !std::isfinite(options.foerster_radius)) {
    refuse("Foerster radius must be > 0.");
  }
  if (!std::isfinite(options.min_distance))
    refuse("Invalid minimum distance: not a finite number.");
  if (options.max_distance && !std::isfinite(*options.max_distance)) {
    refuse("Invalid maximum distance: not a finite number.");
  }
  if (options.distance_bins < options.fewest_distance_bins) {
    refuse(format_text("number of distance bins must be > %d.", options.fewest_distance_bins - 1));
  }
  if (options.distance_bins >= kDistanceBinsLimit) {
    refuse(format_text("number of distance bins must be < %d.", kDistanceBinsLimit));
  }
  AnalysisSettings s;
  s.foerster_radius = options.foerster_radius;
  s.min_distance = options.min_distance;
  s.max_distance = options.max_distance.value_or(2 * options.foerster_radius);
  s.distance_bins = options.distance_bins;
  s.internal_rmin = s.min_distance - (s.max_distance - s.min_distance);
  s.internal_rmax = s.max_distance + (s.max_distance - s.min_distance);
  if (!(std::isfinite(s.internal_rmin) && std::isfinite(s.internal_rmax))) {
    refuse(
        "Distance range too wide: extended by its own width on each side, it "
        "exceeds the range of numbers.");
  }
  s.internal_bins = 3 * s.distance_bins;
  s.fft_length = fft_length_for(s.internal_bins);
  return s;
}

int fft_length_for(int bins) {
  const int k = static_cast<int>(std::floor(std::log(1.5 * bins) / std::log(2.0) + 1));
  int n = 1;
  for (int i = 0; i < k; ++i) n *= 2;
  return n;
}

TimeBinsOutcome settle_time_bins(int time_bins, double time_increment, double t_first,
                                 double t_last) {
  TimeBinsOutcome outcome;
  outcome.time_bins = time_bins;
  if (outcome.time_bins == 0) {
    if (time_increment == 0) {
      outcome.time_bins = 1000;
    } else if (time_increment < 0) {
      outcome.warnings.emplace_back("Time grid resolution must be positive.");
    } else {
      // Counted in double precision and tested before any conversion, so
      // that an absurdly fine resolution is reported with its exact count.
      const double count = std::floor((t_last - t_first) / time_increment + 1.5);
      if (std::isnan(count)) {
        outcome.error = "Time grid resolution must be a finite number.";
        return outcome;
      }
      if (count > kTimeBinsLimit) {
        outcome.error =
            format_text("Time grid resolution too small; would allocate %.0f grid points.", count);
        return outcome;
      }
      outcome.time_bins = static_cast<int>(count);
    }
  }
  if (outcome.time_bins < kMinTimeBins) {
    outcome.error = format_text("number of time slices (%d) must be > 3.", outcome.time_bins);
  } else if (outcome.time_bins >= kTimeBinsLimit) {
    outcome.error =
        format_text("number of time slices (%d) must be < %d.", outcome.time_bins, kTimeBinsLimit);
  }
  return outcome;
}

}  // namespace pelmora
