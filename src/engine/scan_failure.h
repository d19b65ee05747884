#pragma once

#include <optional>
#include <string>

namespace pelmora {

// Where a scan found nothing left of the distance distribution: the progress
// step it had reached and a phrase naming the scan and the photon or slice.
struct ScanFailure {
  int step = 0;
  std::string where;
};

using ScanOutcome = std::optional<ScanFailure>;

}  // namespace pelmora
