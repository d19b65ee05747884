#include "cli/bursts/commands.h"

int main(int argc, char** argv) {
  return pelmora::bursts_cli::run_pelmora_bursts(argc, argv);
}
