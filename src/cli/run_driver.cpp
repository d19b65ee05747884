#include "cli/run_driver.h"

#include <new>

#include "base/error.h"
#include "cli/banner.h"
#include "cli/command_line.h"
#include "cli/console_frame.h"
#include "cli/console_observer.h"
#include "cli/engine_setup.h"
#include "cli/file_names.h"
#include "cli/run_state.h"
#include "cli/settings_summary.h"
#include "cli/termination_signals.h"
#include "cli/time_bins.h"
#include "cli/usage.h"
#include "input/photon_parser.h"
#include "output/distribution_writer.h"
#include "output/likelihood_writer.h"
#include "output/trajectory_writer.h"
#include "pelmora/analysis.h"

namespace pelmora {

namespace {

MapFormat map_format(const RunSettings& s) {
  if (s.eps_output) return MapFormat::kEps;
  return s.short_format ? MapFormat::kShort : MapFormat::kPlain;
}

const char* map_announcement(MapFormat format) {
  switch (format) {
    case MapFormat::kEps:
      return "\nWriting distance distribution P(r,t) to encapsulated postscript file %s ... ";
    case MapFormat::kShort:
      return "\nWriting distance distribution P(r,t) to file %s (short greyscale format)... ";
    case MapFormat::kPlain:
      break;
  }
  return "\nWriting distance distribution P(r,t) to file %s ... ";
}

// The warnings of a trajectory result that belong after the map's lines
// (the others were shown while the passes ran).
void show_map_warnings(RunState& state, const TrajectoryResult& result) {
  for (const Warning& warning : result.warnings) {
    if (warning.kind == WarningKind::kNoOverlap || warning.kind == WarningKind::kBoundarySlices) {
      state.warn(framed_warning(warning));
    }
  }
}

void run_trajectory_mode(RunState& state, const PhotonList& photons, Observer& observer) {
  const RunSettings& s = state.settings;
  TrajectoryOptions options;
  options.diff_coeff = s.diff_coeff;
  options.time_bins = s.time_bins;
  const TrajectoryResult result =
      analyse_trajectory(photons, state.analysis, options, state.engine, observer);

  const MapFormat format = map_format(s);
  state.console.print(map_announcement(format), s.outfile.c_str());
  {
    const HeldTerminationSignals held;
    write_distance_distribution(result, format, s.outfile, held.stop_request());
  }
  state.console.write("Done.\n");
  show_map_warnings(state, result);

  if (s.write_trajectory) {
    state.console.print(
        s.xmgr_output ? "Writing average trajectory and standard deviations to xmgr-file %s ... "
                      : "Writing average trajectory and standard deviations to file %s ... ",
        s.traj_file.c_str());
    {
      const HeldTerminationSignals held;
      write_average_trajectory(result, photons, state.analysis, s.xmgr_output, s.traj_file,
                               held.stop_request());
    }
    state.console.write("Done.\n");
  }
}

void run_scan_mode(RunState& state, const PhotonList& photons, Observer& observer) {
  const RunSettings& s = state.settings;
  const std::vector<double> coefficients =
      log_spaced_coefficients(s.min_coeff, s.max_coeff, s.runs);
  const LikelihoodScanResult result =
      scan_likelihood(photons, state.analysis, coefficients, state.engine, observer);
  state.console.print("\nWriting (normalized) likelihood P(D) to file %s ... ", s.outfile.c_str());
  {
    const HeldTerminationSignals held;
    write_likelihood(coefficients, result.probability, s.outfile, held.stop_request());
  }
  state.console.write("Done.\n");
}

PhotonList read_photons(RunState& state, Observer& observer) {
  const std::string& path = state.settings.infile;
  state.console.print("  Reading photon arrival times from file %s ... ", path.c_str());
  PhotonList photons = read_photon_file(path, observer);
  state.console.write("Done.\n");
  if (const std::optional<PhotonReadError> too_few = check_photon_count(photons)) {
    throw too_few->as_error();
  }
  state.console.write(photon_summary(photons));
  return photons;
}

void run(RunState& state, int argc, char** argv) {
  print_banner(state.console);
  parse_command_line(state, argc, argv);
  check_file_names(state);
  configure_engine(state);
  const RunSettings& s = state.settings;
  state.console.write("\n");

  ConsoleObserver observer(state);
  const PhotonList photons = read_photons(state, observer);
  print_output_files(state);
  if (!s.scan_mode) {
    derive_time_bins(state, photons.start_time, photons.end_time);
    if (s.write_trajectory) {
      state.console.print(s.xmgr_output ? "  Output file for average trajectory (xmgr-format): %s\n"
                                        : "  Output file for average trajectory: %s\n",
                          s.traj_file.c_str());
    }
  }
  print_settings_summary(state);

  if (s.scan_mode) {
    run_scan_mode(state, photons, observer);
  } else {
    run_trajectory_mode(state, photons, observer);
  }

  state.console.write(state.warnings_flag == 0
                          ? "\n\nPelmora ready. No errors.\n\n"
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
  } catch (const CommandLineRefusal& refusal) {
    // Errors of the command line itself end the run without the fatal-error
    // line; everything found later adds it.
    if (!refusal.message().empty()) state.console.write(framed_error(refusal));
    if (refusal.show_usage()) state.console.write(usage_text());
  } catch (const Error& error) {
    state.console.write(framed_error(error));
    if (error.kind() != ErrorKind::kOption) state.console.write(kFatalLine);
  } catch (const std::bad_alloc&) {
    // Standard containers report exhausted memory this way.
    state.console.write(framed_error("allocation failure (out of memory)"));
    state.console.write(kFatalLine);
  }
  return 1;
}

}  // namespace pelmora
