// Hand-built trajectory results for the writer tests: the settings, a photon
// list, and forward and backward rows filled from chosen functions instead
// of the passes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "output/distribution_writer.h"
#include "state/analysis_results.h"
#include "state/analysis_settings.h"
#include "state/photon_list.h"

namespace pelmora::testing {

struct HandBuiltRun {
  int time_bins = 4;        // n; T = n + 2
  int distance_bins = 50;   // N_b; M = 3 N_b
  double min_distance = 0;  // nm
  double max_distance = 13;
  std::vector<double> photon_times{0, 500, 1000};
  std::vector<int> photon_types{1, 2, 1};
  bool short_format = false;
  bool eps_output = false;
  bool xmgr_output = false;
  // Cell values of the forward and backward rows, (slice, internal point),
  // asked for the interior slices 1..T-2 only.
  std::function<double(int, int)> forward = [](int, int) { return 1.0; };
  std::function<double(int, int)> backward = [](int, int) { return 1.0; };
};

struct HandBuilt {
  AnalysisSettings settings;
  PhotonList photons;
  TrajectoryResult result;
  MapFormat format = MapFormat::kPlain;
  bool xmgr = false;
};

HandBuilt build(const HandBuiltRun& run);

// Writes the run's map, or its trajectory file, to `path`.
void write_map(const HandBuilt& built, const std::string& path);
void write_trajectory(const HandBuilt& built, const std::string& path);

// The error a writer throws when its file cannot be written.
std::string write_error(const std::string& path);

}  // namespace pelmora::testing
