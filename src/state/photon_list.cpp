#include "state/photon_list.h"

#include "state/text_format.h"

namespace pelmora {

PhotonListBuilder::PhotonListBuilder(PhotonList& list) : list_(list) {
  list_ = PhotonList{};
}

void PhotonListBuilder::reserve(std::size_t photons) {
  list_.photon_times.reserve(photons);
  list_.photon_types.reserve(photons);
}

PhotonListBuilder::Outcome PhotonListBuilder::add(float time, bool acceptor) {
  if (time < previous_) return Outcome::kNotSorted;
  Outcome outcome = Outcome::kAdded;
  if (time == previous_) {
    // As `t = t + 0.01` on a float: the sum in double, rounded back to float.
    time = static_cast<float>(static_cast<double>(time) + 0.01);
    outcome = Outcome::kShifted;
  }
  previous_ = time;
  list_.photon_times.push_back(time);
  list_.photon_types.push_back(acceptor ? kAcceptorPhoton : kDonorPhoton);
  if (list_.photon_count == 0) list_.start_time = time;
  list_.end_time = time;
  ++list_.photon_count;
  ++(acceptor ? list_.acceptor_count : list_.donor_count);
  return outcome;
}

std::string simultaneous_photons_warning(float time) {
  return format_text("Simultaneous photons found (t=%f). Shifted one a bit.",
                     static_cast<double>(time));
}

}  // namespace pelmora
