// The corrections estimate of a whole measurement, as one call for the
// command line and Python: its bursts (a table's windows, or those a search
// finds, counting all three streams so that acceptor-only molecules stay),
// their streams with the measurement's background, and the estimate of
// leakage and direct excitation from them (correction_estimate.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bursts/burst.h"
#include "bursts/burst_search.h"
#include "bursts/correction_estimate.h"
#include "input/measurement.h"

namespace pelmora {

struct MeasurementCorrections {
  CorrectionEstimate estimate;
  std::size_t bursts = 0;  // looked at, all populations
  // What the estimate rests on, for corrections.json's "settings".
  std::string settings;
};

// `table`: the bursts' windows (none: search them with `search`, whose
// size counts all three streams; its background window serves the table's
// bursts too).  Refuses (kInput) a measurement without acceptor excitation,
// naming its type, before any search.
MeasurementCorrections estimate_measurement_corrections(
    const Measurement& measurement, const std::optional<std::vector<BurstWindow>>& table,
    const std::string& table_name, BurstSearchOptions search,
    const CorrectionEstimateOptions& options);

}  // namespace pelmora
