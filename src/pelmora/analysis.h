// The Pelmora library: the entry point for programs that analyse photon
// records themselves (the command line, the burst analysis, the Python
// package).
//
//   pelmora::AnalysisSettings settings = pelmora::derive_settings({});  // defaults
//   pelmora::PhotonList photons =
//       pelmora::photon_list_from_arrays(times_us, is_acceptor, pelmora::silent_observer());
//   pelmora::TrajectoryResult map = pelmora::analyse_trajectory(photons, settings, {});
//   pelmora::LikelihoodScanResult scan = pelmora::scan_likelihood(
//       photons, settings, pelmora::log_spaced_coefficients(1e-16, 1e-13, 20));
//
// examples/library_example.cpp is a complete program.
// Every function is a function of its arguments: nothing is printed, nothing
// global is changed, and any number of analyses may run at once on different
// threads.  A failure is thrown as pelmora::Error (base/error.h) with the
// text the command line prints for it; progress, the runs of a scan and
// warnings go to an Observer (state/observer.h) as they happen, and the
// results carry the warnings as values too.  Diffusion coefficients are in
// m^2/s, times in mu s, distances in nm.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/error.h"
#include "bursts/background_choice.h"
#include "engine/model_grid.h"
#include "engine/scan_arithmetic.h"
#include "input/distance_model_text.h"
#include "input/photon_arrays.h"
#include "input/photon_reader.h"
#include "output/file_clash.h"
#include "state/analysis_results.h"
#include "state/analysis_settings.h"
#include "state/engine_options.h"
#include "state/fret_corrections.h"
#include "state/observer.h"
#include "state/photon_list.h"
#include "state/written_slices.h"

namespace pelmora {

// Photon records come from read_photon_file (input/photon_reader.h: a
// record of fewer than 3 photons is read, and refused by the analyses) or
// from photon_list_from_arrays (input/photon_arrays.h), which holds times
// exactly as the file reader does.  Scan coefficients and P(D) come from
// log_spaced_coefficients and normalize_likelihoods (engine/scan_arithmetic.h).

struct TrajectoryOptions {
  double diff_coeff = 1e-14;    // m^2/s
  int time_bins = 0;            // output slices; 0: from time_increment, or 1000
  double time_increment = 0.0;  // mu s between slices, when time_bins is 0
  // The distance's free energy; free diffusion is the single-record
  // program's trajectory, bit for bit.  A confined model's result covers
  // its support (TrajectoryResult::confined).
  DistanceModel model;
  // Background photons mixed into the colours: off, or given rates (Hz per
  // channel) over the record's span; auto, which needs a measurement, is
  // refused.
  BackgroundChoice background;
  // Gamma and leakage enter the colour probabilities; direct excitation is
  // a share of the record's acceptor photons, dir_ex times its
  // background-corrected acceptor-excitation photons `n_aa` (required with
  // dir_ex > 0), beside the background under the one cap.
  FretCorrections corrections;
  std::optional<double> n_aa;
  // Refuse (kMemory) up front a trajectory whose distributions alone would
  // take more bytes than this (trajectory_bytes); none: no bound, as the
  // single-record program runs.
  std::optional<double> memory_budget;
};

// The Python package's bound on a result's memory: 4 GiB, more than any
// run at the default grid (a few MB) and than -t 99999 at 2000 distance
// points, less than a machine would take without swapping for minutes.
inline constexpr double kResultMemoryBudget = 4.0 * (1 << 30);

// Bytes the forward and backward distributions of a trajectory take:
// (time_bins + 4) x (distance bins + 2) doubles, twice.
double trajectory_bytes(int time_bins, int distance_bins);

// The distance distribution over time (trajectory mode).
TrajectoryResult analyse_trajectory(const PhotonList& photons, const AnalysisSettings& settings,
                                    const TrajectoryOptions& options,
                                    const EngineOptions& engine = {},
                                    Observer& observer = silent_observer());

// log L and P(D) for each coefficient (scan mode).
LikelihoodScanResult scan_likelihood(const PhotonList& photons, const AnalysisSettings& settings,
                                     std::span<const double> coefficients,
                                     const EngineOptions& engine = {},
                                     Observer& observer = silent_observer());

}  // namespace pelmora
