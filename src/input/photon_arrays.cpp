#include "input/photon_arrays.h"

#include <climits>
#include <cmath>

#include "base/error.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

[[noreturn]] void refuse(std::string message, ErrorLayout layout = ErrorLayout::kLine) {
  throw Error(ErrorKind::kInput, std::move(message), layout);
}

}  // namespace

PhotonList photon_list_from_arrays(std::span<const double> times_us,
                                   std::span<const std::uint8_t> acceptor, Observer& observer) {
  if (times_us.size() != acceptor.size()) {
    refuse(format_text("%zu arrival times but %zu colours: give one colour per photon.",
                       times_us.size(), acceptor.size()));
  }
  if (times_us.size() < 3)
    refuse(format_text("Too few photons (%zu).", times_us.size()), ErrorLayout::kParagraph);
  if (times_us.size() > static_cast<std::size_t>(INT_MAX - 2)) {
    refuse(format_text("Too many photons (%zu) for one record.", times_us.size()));
  }
  PhotonList photons;
  PhotonListBuilder builder(photons);
  builder.reserve(times_us.size());
  for (std::size_t i = 0; i < times_us.size(); ++i) {
    const double time = times_us[i];
    const float held = static_cast<float>(time);
    if (!std::isfinite(time) || !std::isfinite(held)) {
      refuse(
          format_text("Photon at index %zu: arrival time %g mu s is not a finite "
                      "single-precision number.",
                      i, time));
    }
    if (acceptor[i] > 1) {
      refuse(
          format_text("Photon at index %zu: colour %d is neither donor (0) nor "
                      "acceptor (1).",
                      i, static_cast<int>(acceptor[i])));
    }
    switch (builder.add(held, acceptor[i] == 1)) {
      case PhotonListBuilder::Outcome::kNotSorted:
        if (photons.photon_count == 0) {
          refuse(
              format_text("Photon at index 0: arrival time %g mu s is below "
                          "-1e30 mu s, the earliest time a record may hold.",
                          static_cast<double>(held)));
        }
        refuse(
            format_text("Photon at index %zu: arrival time %f mu s is earlier than "
                        "the one before it (%f mu s); photon times must not decrease.",
                        i, static_cast<double>(held), photons.end_time));
      case PhotonListBuilder::Outcome::kShifted:
        observer.warning({WarningKind::kSimultaneousPhotons, simultaneous_photons_warning(held),
                          static_cast<double>(held), 0, 0});
        break;
      case PhotonListBuilder::Outcome::kAdded:
        break;
    }
  }
  return photons;
}

}  // namespace pelmora
