// The likelihood of D for a whole measurement: log L of every burst for
// every coefficient, and their sum over the bursts that could be analysed.
// A burst is left out of the sum at every coefficient when it cannot be
// analysed at one of them (fewer than 3 photons, colours no grid point
// allows, a distribution lost to rounding residue), so that every value of
// the joint log L sums the same bursts.
#pragma once

#include <span>
#include <vector>

#include "engine/likelihood_scan.h"
#include "state/analysis_results.h"
#include "state/analysis_settings.h"
#include "state/distance_grid.h"
#include "state/engine_options.h"
#include "state/observer.h"
#include "state/photon_list.h"

namespace pelmora {

struct BurstVerdict {
  LeftOut left_out = LeftOut::kNo;  // the first reason met, in coefficient order
  int photons = 0;
  int boundary_runs = 0;  // coefficients at which the distribution reached the grid's edges
};

struct JointScan {
  std::vector<double> coefficients;          // m^2/s
  LikelihoodTable table;                     // log L per burst and coefficient
  std::vector<BurstVerdict> bursts;          // per burst
  int analysed = 0;                          // bursts in the joint sum
  std::vector<double> joint_log_likelihood;  // per coefficient: the sum in burst order
  std::vector<double> probability;           // P(D), normalised as scan mode normalises it
};

// Verdicts, joint log L and P(D) of a table whose cells are final.
JointScan join_bursts(std::vector<double> coefficients, LikelihoodTable table,
                      std::span<const int> photon_counts);

// Scans every burst on the engine's worker threads and joins them.
JointScan scan_bursts(std::span<const PhotonList* const> bursts,
                      std::span<const double> coefficients, const AnalysisSettings& settings,
                      const EngineOptions& engine, Observer& observer);

// As above on `grid` (a model's, engine/model_grid.h), each burst with its
// background shares mixed into its colours (none when `shares` is empty or
// a burst's are 0).
JointScan scan_bursts(std::span<const PhotonList* const> bursts,
                      std::span<const double> coefficients, const DistanceGrid& grid,
                      std::span<const BackgroundShares> shares, const EngineOptions& engine,
                      Observer& observer);

// The phrase that names why a burst was left out, e.g. "fewer than 3 photons".
const char* left_out_reason(LeftOut reason);

}  // namespace pelmora
