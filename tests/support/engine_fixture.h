// Everything an engine test works on, built in-process: settings as the
// command line would derive them, a photon record, the distance grid, a
// propagator workspace, and an observer that prints what the command line
// prints into memory.
#pragma once

#include <string>
#include <vector>

#include "cli/console_observer.h"
#include "cli/run_state.h"
#include "engine/propagator.h"
#include "state/analysis_results.h"
#include "state/distance_grid.h"
#include "state/photon_list.h"

namespace pelmora::testing {

struct PhotonRecipe {
  double time;  // mu s
  int type;     // kDonorPhoton or kAcceptorPhoton
};

// The photons exactly as given (no single-precision rounding, no shifts).
PhotonList photon_list_of(const std::vector<PhotonRecipe>& photons);

class EngineFixture {
 public:
  // distance_bins as -d; range as -min/-max (nm); diffusion coefficient in 1e-14 m^2/s.
  EngineFixture(const std::vector<PhotonRecipe>& photons, int distance_bins = 50,
                double min_distance = 0.0, double max_distance = 13.0, double diffusion = 1.0,
                int time_bins = 0);
  EngineFixture(const EngineFixture&) = delete;
  EngineFixture& operator=(const EngineFixture&) = delete;

  AnalysisSettings settings;
  PhotonList photons;
  DistanceGrid grid;
  FftWorkspace fft;
  double diff_coeff;  // m^2/s
  int time_bins;
  EngineOptions engine;

  int bins() const { return settings.internal_bins; }
  bool propagate(std::span<const double> source, std::span<double> destination, double dt);
  // The engine's trajectory analysis of this fixture, reported to observer().
  TrajectoryResult trajectory();

  Observer& observer() { return observer_; }
  // Console text printed since the last call.
  std::string take_console();
  int warnings_flag() const { return cli_.warnings_flag; }

 private:
  ConsoleBuffer console_;
  RunState cli_;
  ConsoleObserver observer_{cli_};
  std::size_t taken_ = 0;
};

// Photons at the given times, alternating acceptor and donor from an acceptor.
std::vector<PhotonRecipe> alternating_photons(const std::vector<double>& times);

}  // namespace pelmora::testing
