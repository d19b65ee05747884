#include "pelmora/analysis.h"

#include <algorithm>
#include <cmath>

#include "bursts/scan_request.h"
#include "engine/background_colours.h"
#include "engine/colour_check.h"
#include "engine/distance_grid.h"
#include "engine/likelihood_scan.h"
#include "engine/trajectory_analysis.h"
#include "input/photon_parser.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

[[noreturn]] void refuse(std::string message) {
  throw Error(ErrorKind::kInput, std::move(message));
}

void require_photons(const PhotonList& photons) {
  if (const std::optional<PhotonReadError> too_few = check_photon_count(photons)) {
    throw too_few->as_error();
  }
}

void require_coefficient(double diff_coeff) {
  if (!(diff_coeff > 0) || !std::isfinite(diff_coeff)) {
    refuse(
        format_text("Diffusion coefficient %g m^2/s must be a positive finite "
                    "number.",
                    diff_coeff));
  }
}

void require_engine(const EngineOptions& engine) {
  if (engine.threads < 1) {
    refuse(format_text("The engine needs at least one thread (%d asked for).", engine.threads));
  }
}

}  // namespace

constexpr double kGiB = 1 << 30;

double trajectory_bytes(int time_bins, int distance_bins) {
  return 2.0 * (static_cast<double>(time_bins) + 4) * (static_cast<double>(distance_bins) + 2) *
         sizeof(double);
}

TrajectoryResult analyse_trajectory(const PhotonList& photons, const AnalysisSettings& settings,
                                    const TrajectoryOptions& options, const EngineOptions& engine,
                                    Observer& observer) {
  require_photons(photons);
  require_coefficient(options.diff_coeff);
  require_engine(engine);
  const TimeBinsOutcome time_bins = settle_time_bins(options.time_bins, options.time_increment,
                                                     photons.start_time, photons.end_time);
  if (time_bins.error) refuse(*time_bins.error);
  check_corrections(options.corrections);
  if (options.background.mode == BackgroundChoice::Mode::kAuto) {
    refuse(
        "The background auto is estimated from a measurement; for one photon record give the "
        "rates (D_HZ,A_HZ) or off.");
  }
  if (options.corrections.dir_ex != 0 && !(options.n_aa && std::isfinite(*options.n_aa))) {
    refuse(
        "Direct excitation (dir_ex) is a share of the record's acceptor photons scaled by its "
        "acceptor-excitation photons: give the record's n_aa (background-corrected).");
  }
  const DistanceGrid grid = make_model_grid(settings, options.model, options.corrections);
  const double need = trajectory_bytes(time_bins.time_bins, grid.points.bins);
  if (options.memory_budget && need > *options.memory_budget) {
    throw Error(ErrorKind::kMemory,
                format_text("The trajectory would need %.1f GiB for its distributions alone (%d "
                            "time slices x %d grid points, forward and backward), more than "
                            "the %.1f GiB allowed; use fewer time slices or distance points.",
                            need / kGiB, time_bins.time_bins, grid.points.bins,
                            *options.memory_budget / kGiB));
  }
  if (options.background.mode == BackgroundChoice::Mode::kOff && options.corrections.dir_ex == 0) {
    check_photon_colours(grid, photons);
    return compute_trajectory(photons, grid, options.diff_coeff, time_bins.time_bins, engine,
                              observer);
  }
  // The record's span as a burst's window gives it, so that a scan of the
  // same record mixes in the same shares.
  PhotonList mixed = photons;
  const double span_s = photons.end_time * 1e-6 - photons.start_time * 1e-6;
  if (options.corrections.dir_ex == 0) {
    mixed.colours =
        mix_background(grid, rate_shares(options.background, span_s, photons.photon_count));
  } else {
    const bool rates = options.background.mode == BackgroundChoice::Mode::kRates;
    const CappedShares shares = colour_shares(
        rates ? options.background.donor_hz * span_s : 0.0,
        rates ? options.background.acceptor_hz * span_s : 0.0,
        std::max(0.0, options.corrections.dir_ex * *options.n_aa), photons.photon_count);
    mixed.colours = mix_background(grid, shares.shares);
  }
  check_photon_colours(grid, mixed);
  return compute_trajectory(mixed, grid, options.diff_coeff, time_bins.time_bins, engine, observer);
}

LikelihoodScanResult scan_likelihood(const PhotonList& photons, const AnalysisSettings& settings,
                                     std::span<const double> coefficients,
                                     const EngineOptions& engine, Observer& observer) {
  require_photons(photons);
  require_engine(engine);
  if (coefficients.empty()) refuse("No diffusion coefficients to scan.");
  for (const double diff_coeff : coefficients) require_coefficient(diff_coeff);
  const DistanceGrid grid = make_distance_grid(settings);
  check_photon_colours(grid, photons);
  return compute_likelihood_scan(photons, coefficients, grid, engine, observer);
}

}  // namespace pelmora
