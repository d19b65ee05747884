#pragma once

#include <string>

#include "output/stop_request.h"
#include "state/analysis_results.h"

namespace pelmora {

enum class MapFormat {
  kPlain,  // "t r P" per written cell
  kShort,  // one grey level 0..255 per cell
  kEps,    // an encapsulated PostScript greyscale image
};

// Writes P(r,t) of the written slices and distance points to `path`;
// `stop` is asked between blocks of the file (see ResultFile).
void write_distance_distribution(const TrajectoryResult& result, MapFormat format,
                                 const std::string& path, const StopRequest& stop = {});

}  // namespace pelmora
