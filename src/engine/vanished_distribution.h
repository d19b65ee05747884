#pragma once

#include <string>

namespace pelmora {

struct RunState;

// Ends the run after a propagation found nothing left of the distance
// distribution: no grid point is compatible with the photon colours seen so
// far.  `where` names the scan and the photon or slice, e.g.
// "forward photon scan after photon 12 (t=1000.000000 mu s)".
[[noreturn]] void report_vanished_distribution(RunState& state, const std::string& where);

// The photon phrase of `where`: photon `index` (0-based) named as the file
// lists it, counting from 1.
std::string after_photon(const char* scan, const RunState& state, int index);

}  // namespace pelmora
