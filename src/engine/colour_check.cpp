#include "engine/colour_check.h"

#include "base/error.h"
#include "state/run_state.h"
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

void check_photon_colours(RunState& state) {
  const RunSettings& s = state.settings;
  const int bins = s.internal_bins;
  if (state.photons.donor_count > 0 && !anywhere_positive(state.grid.one_minus_efficiency, bins)) {
    throw Error(ErrorKind::kInput,
                format_text("\n\nERROR: No distance of the internal grid (%g to %g nm) allows a "
                            "donor photon: the FRET efficiency is 1 at every grid point. Choose a "
                            "distance range (-min, -max) that reaches above 0 nm.\n",
                            s.internal_rmin, s.internal_rmax));
  }
  if (state.photons.acceptor_count > 0 && !anywhere_positive(state.grid.efficiency, bins)) {
    throw Error(ErrorKind::kInput,
                format_text("\n\nERROR: No distance of the internal grid (%g to %g nm) allows an "
                            "acceptor photon: the FRET efficiency is 0 at every grid point. "
                            "Choose a distance range (-min, -max) nearer the Foerster radius.\n",
                            s.internal_rmin, s.internal_rmax));
  }
}

}  // namespace pelmora
