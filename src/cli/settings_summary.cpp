#include "cli/settings_summary.h"

#include "cli/run_state.h"

namespace pelmora {

void print_output_files(RunState& state) {
  const RunSettings& s = state.settings;
  state.console.print("  Output file for distance distribution map or likelihood: %s\n",
                      s.outfile.c_str());
}

void print_settings_summary(RunState& state) {
  const RunSettings& s = state.settings;
  Console& out = state.console;
  out.print("  Foerster radius: %g nm\n", s.foerster_radius);
  out.print("  Smallest distance considered %g nm (internal: %g nm)\n", s.min_distance,
            state.analysis.internal_rmin);
  out.print("  Largest  distance considered %g nm (internal: %g nm)\n", s.max_distance,
            state.analysis.internal_rmax);
  if (!s.scan_mode) out.print("  Number of grid points for time axis: %d\n", s.time_bins);
  out.print("  Number of grid points for distance axis: %d (internal: %d)\n", s.distance_bins,
            state.analysis.internal_bins);
  if (s.scan_mode) {
    out.print("  Will calculate likelihoods for %d different diffusion coefficients,\n", s.runs);
    out.print("    ranging from %g m^2/s to %g m^2/s.\n", s.min_coeff, s.max_coeff);
  } else {
    out.print("  Will calculate distance distribution for diffusion coefficient D = %g m^2/s\n",
              s.diff_coeff);
  }
  out.write("\n\n");
}

}  // namespace pelmora
