#include "engine/colour_check.h"

#include "base/error.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

bool anywhere_positive(const DVector& probability, int bins) {
  for (int i = 0; i < bins; ++i) {
    if (probability[i] > 0) return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> impossible_colours(const DistanceGrid& grid, const PhotonList& photons) {
  const PropagationGrid& g = grid.points;
  if (photons.donor_count > 0 &&
      !anywhere_positive(colour_probability(grid, photons, kDonorPhoton), g.bins)) {
    return format_text(
        "No distance of the internal grid (%g to %g nm) allows a donor photon: the "
        "FRET efficiency is 1 at every grid point. Choose a distance range (-min, -max) that "
        "reaches above 0 nm.",
        g.rmin, g.rmax);
  }
  if (photons.acceptor_count > 0 &&
      !anywhere_positive(colour_probability(grid, photons, kAcceptorPhoton), g.bins)) {
    return format_text(
        "No distance of the internal grid (%g to %g nm) allows an acceptor photon: "
        "the FRET efficiency is 0 at every grid point. Choose a distance range (-min, -max) "
        "nearer the Foerster radius.",
        g.rmin, g.rmax);
  }
  return std::nullopt;
}

void check_photon_colours(const DistanceGrid& grid, const PhotonList& photons) {
  if (auto message = impossible_colours(grid, photons)) {
    throw Error(ErrorKind::kInput, std::move(*message));
  }
}

}  // namespace pelmora
