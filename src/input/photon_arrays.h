#pragma once

#include <cstdint>
#include <span>

#include "state/observer.h"
#include "state/photon_list.h"

namespace pelmora {

// A photon record from arrays: arrival times in mu s (non-decreasing) and a
// colour per photon, 0 for a donor and 1 for an acceptor photon.  Times are
// held in single precision and simultaneous photons moved apart, exactly as
// the photon file reader does (the warnings go to `observer`), so that the
// same photons give the same numbers whichever way they arrive.  Refuses
// (kInput) arrays of different lengths, fewer than 3 photons, times that are
// not finite or beyond single precision, times that decrease and colours
// other than 0 and 1, naming the photon by its index from 0.
PhotonList photon_list_from_arrays(std::span<const double> times_us,
                                   std::span<const std::uint8_t> acceptor, Observer& observer);

}  // namespace pelmora
