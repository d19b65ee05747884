#include <cstdio>
#include <new>

#include "cli/fatal_exit.h"
#include "cli/run_driver.h"

int main(int argc, char** argv) {
  try {
    return pelmora::run_pelmora(argc, argv);
  } catch (const std::bad_alloc&) {
    // Standard containers report exhausted memory this way; the checked
    // arrays print their own messages.
    std::fputs("\n\nERROR: allocation failure (out of memory)\n", stderr);
    pelmora::fatal_exit();
  }
}
