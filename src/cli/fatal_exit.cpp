#include "cli/fatal_exit.h"

#include <cstdio>
#include <cstdlib>

namespace pelmora {

void fatal_exit() {
  std::fputs("\n\nPelmora terminated with fatal error.\n\n", stderr);
  std::exit(1);
}

}  // namespace pelmora
