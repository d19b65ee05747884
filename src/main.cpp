#include "cli/run_driver.h"

int main(int argc, char** argv) {
  return pelmora::run_pelmora(argc, argv);
}
