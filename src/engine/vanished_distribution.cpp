#include "engine/vanished_distribution.h"

#include "cli/fatal_exit.h"
#include "state/run_state.h"
#include "state/text_format.h"

namespace pelmora {

void report_vanished_distribution(RunState& state, const std::string& where) {
  state.console.print(
      "\n\nERROR: Distance distribution vanished in the %s: no distance of the grid is "
      "compatible with the photon colours. Check the distance range (-min, -max) and the "
      "Foerster radius.\n",
      where.c_str());
  fatal_exit();
}

std::string after_photon(const char* scan, const RunState& state, int index) {
  return format_text("%s after photon %d (t=%f mu s)", scan, index + 1,
                     state.photons.photon_times[index]);
}

}  // namespace pelmora
