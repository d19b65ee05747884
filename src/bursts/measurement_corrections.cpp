#include "bursts/measurement_corrections.h"

#include "bursts/background.h"
#include "bursts/burst_records.h"
#include "bursts/burst_streams.h"
#include "state/text_format.h"

namespace pelmora {

MeasurementCorrections estimate_measurement_corrections(
    const Measurement& measurement, const std::optional<std::vector<BurstWindow>>& table,
    const std::string& table_name, BurstSearchOptions search,
    const CorrectionEstimateOptions& options) {
  // Refused before the bursts are searched: there is nothing to estimate.
  if (!has_acceptor_excitation(measurement.description)) {
    estimate_corrections({}, measurement.description, options);
  }
  MeasurementCorrections result;
  std::vector<Burst> bursts;
  std::string from;
  // The streams as measured: the corrections estimated here must not be in them.
  search.corrections = {};
  if (table) {
    const Background background = estimate_background(measurement, search.background_window_s);
    bursts = describe_bursts(measurement, *table, background, {});
    from = "table " + table_name;
  } else {
    search.size = BurstSize::kAllStreams;
    bursts = search_measurement(measurement, search).found.bursts;
    from = format_text("search m=%d min-photons=%d (all streams) method=%s", search.m,
                       search.min_photons, burst_search_method_name(search.method));
  }
  result.bursts = bursts.size();
  result.estimate = estimate_corrections(bursts, measurement.description, options);
  result.settings = measurement_text(measurement.description) + " bursts=" + from;
  return result;
}

}  // namespace pelmora
