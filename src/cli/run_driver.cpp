#include "cli/run_driver.h"

#include <new>

#include "base/error.h"
#include "cli/banner.h"
#include "cli/command_line.h"
#include "cli/engine_setup.h"
#include "cli/file_names.h"
#include "cli/settings_summary.h"
#include "cli/termination_signals.h"
#include "cli/time_bins.h"
#include "engine/boundary_check.h"
#include "engine/colour_check.h"
#include "engine/distance_grid.h"
#include "engine/likelihood_scan.h"
#include "engine/trajectory_scans.h"
#include "input/photon_reader.h"
#include "output/distribution_writer.h"
#include "output/likelihood_writer.h"
#include "output/trajectory_writer.h"
#include "state/run_state.h"

namespace pelmora {

namespace {

void run_trajectory_mode(RunState& state) {
  const RunSettings& s = state.settings;
  run_trajectory_scans(state);
  count_boundary_slices(state);
  {
    const HeldTerminationSignals held;
    write_distance_distribution(state, s.outfile, held.stop_request());
  }
  if (state.boundary_artifact_count > 0) {
    state.console.print("\nWARNING: possible boundary artifacts (%d of %d time slices affected).\n",
                        state.boundary_artifact_count, s.internal_time_bins);
    state.warn("         Enlarge [-min,-max]-interval.\n\n");
  }
  if (s.write_trajectory) {
    const HeldTerminationSignals held;
    write_average_trajectory(state, s.traj_file, held.stop_request());
  }
  const int last_row = s.internal_time_bins + 1;
  const int last_column = s.internal_bins + 1;
  free_dmatrix(state.grid_forward, 0, last_row, 0, last_column);
  free_dmatrix(state.grid_backward, 0, last_row, 0, last_column);
}

void run_scan_mode(RunState& state) {
  const RunSettings& s = state.settings;
  state.run_likelihood = dvector(0, s.runs + 2);
  state.run_diffusion = dvector(0, s.runs + 2);
  likelihood_scan(state);
  {
    const HeldTerminationSignals held;
    write_likelihood(state, s.outfile, held.stop_request());
  }
  free_dvector(state.run_likelihood, 0, s.runs + 2);
  free_dvector(state.run_diffusion, 0, s.runs + 2);
}

void release_run_arrays(RunState& state) {
  const int photon_last = kPhotonCapacity + 2;
  const int columns = state.settings.internal_bins + 1;
  const int n = state.fft.fft_length;
  free_dvector(state.photons.photon_times, 0, photon_last);
  free_ivector(state.photons.photon_types, 0, photon_last);
  free_dvector(state.grid.one_minus_efficiency, 0, columns);
  free_dvector(state.grid.efficiency, 0, columns);
  free_dvector(state.fft.fft_data, 1, n);
  free_dvector(state.fft.fft_kernel, 1, n);
  free_dvector(state.fft.fft_result, 1, 2 * n);
  free_dvector(state.fft.spectrum, 1, 2 * n);
}

void run(RunState& state, int argc, char** argv) {
  print_banner(state.console);
  parse_command_line(state, argc, argv);
  check_file_names(state);
  configure_engine(state);
  RunSettings& s = state.settings;
  state.console.write("\n");

  read_photon_file(state, s.infile);
  print_output_files(state);
  if (!s.scan_mode) {
    const PhotonList& photons = state.photons;
    derive_time_bins(state, photons.photon_times[0],
                     photons.photon_times[photons.photon_count - 1]);
    if (s.write_trajectory) {
      state.console.print(s.xmgr_output ? "  Output file for average trajectory (xmgr-format): %s\n"
                                        : "  Output file for average trajectory: %s\n",
                          s.traj_file.c_str());
    }
  }
  print_settings_summary(state);

  s.internal_bins = 3 * s.distance_bins;
  init_distance_grid(state);
  init_fft_arrays(state);
  check_photon_colours(state);
  s.internal_time_bins = s.time_bins + 2;

  if (s.scan_mode) {
    run_scan_mode(state);
  } else {
    run_trajectory_mode(state);
  }

  release_run_arrays(state);
  state.console.write(state.warnings_flag == 0 ? "\n\nPelmora ready. No errors.\n\n"
                                               : "\n\nPelmora ready. There have been warnings.\n\n");
}

}  // namespace

int run_pelmora(int argc, char** argv) {
  RunState state;
  constexpr const char* kFatalLine = "\n\nPelmora terminated with fatal error.\n\n";
  ignore_file_size_signal();
  try {
    run(state, argc, argv);
    return 0;
  } catch (const Error& error) {
    // Errors of the command line itself end the run without the fatal-error
    // line; everything found later adds it.
    state.console.write(error.message());
    if (error.kind() != ErrorKind::kOption) state.console.write(kFatalLine);
  } catch (const std::bad_alloc&) {
    // Standard containers report exhausted memory this way.
    state.console.write("\n\nERROR: allocation failure (out of memory)\n");
    state.console.write(kFatalLine);
  }
  return 1;
}

}  // namespace pelmora
