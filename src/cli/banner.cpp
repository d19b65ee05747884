#include "cli/banner.h"

#include "cli/console.h"

namespace pelmora {

void print_banner(Console& console) {
  console.write(
      "\n\n\n"
      " _      _     Pelmora 1.0\n"
      "  \\    / \\   _     Purpose: Create maximum likelihood trajectories\n"
      "   \\  /   \\_/               from single molecule FRET data\n"
      "    \\/              Questions and bug reports: the Pelmora developers\n"
      "\n");
}

}  // namespace pelmora
