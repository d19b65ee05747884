// The dual-channel burst search (DCBS, bursts/burst_search.h describes it).
#pragma once

#include "bursts/background.h"
#include "bursts/burst_search.h"
#include "input/measurement.h"

namespace pelmora {

// search_bursts with BurstSearchMethod::kDualChannel, its options already
// checked.  Refuses (kInput) a measurement without acceptor excitation,
// naming its type.
BurstSearchResult search_dual_channel(const Measurement& measurement,
                                      const BurstSearchOptions& options,
                                      const Background& background);

}  // namespace pelmora
