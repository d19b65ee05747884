#pragma once

#include <string>

#include "output/stop_request.h"
#include "state/analysis_results.h"
#include "state/analysis_settings.h"
#include "state/photon_list.h"

namespace pelmora {

// Writes the mean distance and its standard deviation per written slice: as
// plain columns, or (xmgr) as a Grace project with the 1- and 2-sigma bands
// and the photons as markers, scaled to the settings' distance range.
void write_average_trajectory(const TrajectoryResult& result, const PhotonList& photons,
                              const AnalysisSettings& settings, bool xmgr, const std::string& path,
                              const StopRequest& stop = {});

}  // namespace pelmora
