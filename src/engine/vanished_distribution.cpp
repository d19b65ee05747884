#include "engine/vanished_distribution.h"

#include "base/error.h"
#include "state/text_format.h"

namespace pelmora {

void report_vanished_distribution(const std::string& where, double diff_coeff) {
  throw Error(ErrorKind::kComputation,
              format_text("Distance distribution lost all positive weight in the %s: "
                          "rounding residue of the convolution outgrew it. The diffusion "
                          "coefficient D = %g m^2/s is too small for this photon record and "
                          "grid; use a larger one.",
                          where.c_str(), diff_coeff));
}

std::string after_photon(const char* scan, const PhotonList& photons, int index) {
  return format_text("%s after photon %d (t=%f mu s)", scan, index + 1,
                     photons.photon_times[static_cast<std::size_t>(index)]);
}

}  // namespace pelmora
