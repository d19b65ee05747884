#pragma once

#include <string>

#include "state/photon_list.h"

namespace pelmora {

// Throws the error (kComputation) that ends a run after a propagation found
// no positive weight left in the distance distribution.  Photon colours that
// no grid point allows are refused before the passes (check_photon_colours),
// so what remains is rounding: with a diffusion coefficient so small that the
// distribution hardly spreads between photons, the colour weights can amplify
// the convolution's rounding residue until it swamps the distribution.
// `where` names the pass and the photon or slice, e.g.
// "forward photon scan after photon 12 (t=1000.000000 mu s)".
[[noreturn]] void report_vanished_distribution(const std::string& where, double diff_coeff);

// The photon phrase of `where`: photon `index` (0-based) named as the file
// lists it, counting from 1.
std::string after_photon(const char* scan, const PhotonList& photons, int index);

}  // namespace pelmora
