// The estimate of the setup's corrections as a small JSON file
// (corrections.json), for the record and for workflows:
//
//   {
//     "leakage": {"value": 0.0712, "ci95": [0.0688, 0.0737], "bursts": 412,
//                 "population": "S_raw > 0.9", "reason": null},
//     "dir_ex": {"value": 0.0521, "ci95": [0.0490, 0.0549], "bursts": 87,
//                "population": "S_raw < 0.2", "reason": null,
//                "leakage_used": 0.0712},
//     "gamma": "not estimated: it cannot be had from a single population",
//     "bootstrap": {"resamples": 1000, "seed": 1},
//     "options": "--leakage 0.0712 --dir-ex 0.0521",
//     "settings": "..."
//   }
//
// A coefficient without an estimate has null value and ci95 and its reason.
// Numbers are written with as many digits as read back the same double.
#pragma once

#include <string>

#include "bursts/correction_estimate.h"
#include "output/stop_request.h"

namespace pelmora {

// `settings`: what the estimate was computed from (the measurement, the
// bursts, their selection).
std::string corrections_text(const CorrectionEstimate& estimate, const std::string& settings);

// Written whole or not at all (ResultFile): kIo "Could not write to file",
// kCancelled when `stop` says so.
void write_corrections_file(const std::string& path, const CorrectionEstimate& estimate,
                            const std::string& settings, const StopRequest& stop = {});

}  // namespace pelmora
