#include "output/likelihood_writer.h"

#include "output/result_file.h"
#include "state/run_state.h"

namespace pelmora {

void write_likelihood(RunState& state, const std::string& path, const StopRequest& stop) {
  state.console.print("\nWriting (normalized) likelihood P(D) to file %s ... ", path.c_str());
  ResultFile file(path, stop);
  for (int i = 0; i < state.settings.runs; ++i) {
    file.format("%g %g\n", state.run_diffusion[i], state.run_likelihood[i]);
  }
  file.close();
  state.console.write("Done.\n");
}

}  // namespace pelmora
