// A burst's analysed photons as the photon record the engine takes.
#pragma once

#include "bursts/burst.h"
#include "bursts/burst_photons.h"
#include "input/measurement.h"
#include "state/observer.h"
#include "state/photon_list.h"

namespace pelmora {

// The photon record a burst analyses: exactly the record the single-record
// program reads from the burst's exported photon file (burst_photon_text),
// simultaneous photons and their warnings included.  A burst of fewer than 3
// photons gives a short record (the scan leaves it out); a burst whose
// moved photons pass their successors, which a photon file could not hold,
// is refused (kInput).
PhotonList burst_photon_list(const Measurement& measurement, const BurstWindow& window,
                             Observer& observer);

// The same for photons already selected (burst_photons).
PhotonList burst_photon_list(const BurstPhotons& photons, Observer& observer);

}  // namespace pelmora
