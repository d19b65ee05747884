#include "bursts/burst_photon_list.h"

#include "base/error.h"
#include "state/text_format.h"

namespace pelmora {

PhotonList burst_photon_list(const BurstPhotons& photons, Observer& observer) {
  if (photons.unordered) {
    throw Error(ErrorKind::kInput,
                "Photons moved apart as simultaneous pass the photons after them; the "
                "burst cannot be held as a photon record.");
  }
  PhotonList list;
  PhotonListBuilder builder(list);
  builder.reserve(photons.times_us.size());
  for (std::size_t i = 0; i < photons.times_us.size(); ++i) {
    // The times are single-precision values already, moved apart where the
    // photon reader moves them; what the reader would still find equal (a
    // shift lost to rounding) it warns about again, and so does this.
    const float time = static_cast<float>(photons.times_us[i]);
    if (builder.add(time, photons.acceptor[i] != 0) == PhotonListBuilder::Outcome::kShifted) {
      observer.warning({WarningKind::kSimultaneousPhotons, simultaneous_photons_warning(time),
                        static_cast<double>(time), 0, 0});
    }
  }
  return list;
}

PhotonList burst_photon_list(const Measurement& measurement, const BurstWindow& window,
                             Observer& observer) {
  return burst_photon_list(burst_photons(measurement, window), observer);
}

}  // namespace pelmora
