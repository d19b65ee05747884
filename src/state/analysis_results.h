// The results of the two analyses as plain values.
#pragma once

#include <vector>

#include "numeric/indexed_array.h"
#include "state/distance_grid.h"
#include "state/observer.h"

namespace pelmora {

// The distance distribution over time for one diffusion coefficient.  The
// slices 0..T-1 lie at t_first + (t_last - t_first) * j / (T - 1); slices 0
// and T-1 sit on the first and the last photon and carry no result, slices
// 1..T-2 are the user's time_bins slices.  For every slice the forward and
// the backward row are kept: P(r_k, t_j) = forward[j][k] * backward[j][k]
// divided by the sum of that product over k (see written_slices.h).
struct TrajectoryResult {
  PropagationGrid grid;             // the internal distance grid of the rows
  double diff_coeff = 0.0;          // m^2/s
  int time_bins = 0;                // the user's slices
  int slice_count = 0;              // T = time_bins + 2
  double t_first = 0.0;             // mu s, first photon
  double t_last = 0.0;              // mu s, last photon
  std::vector<double> slice_times;  // mu s, the T times where the slices were computed
  DMatrix forward;   // rows 0..T+1, columns 0..M+1; rows 0..T-1 and columns 0..M-1 hold values
  DMatrix backward;  // likewise
  // A confined model's grid (its support, every point written; the backward
  // rows already divided by P_eq); else free diffusion's, of which the
  // middle third is written.
  bool confined = false;

  int boundary_slices = 0;         // user's slices whose distribution reaches the grid's edges
  int slices_without_overlap = 0;  // user's slices whose two rows do not overlap
  double most_negative = 0.0;      // most negative propagated weight of both passes, 0 if none
  // Every warning of the analysis: the rounding residue, slices without
  // overlap, boundary slices, in that order (each only when it applies).
  std::vector<Warning> warnings;
};

// Why a run of a likelihood scan has no log L.
enum class LeftOut {
  kNo,
  kCollapsed,          // rounding residue swamped the distribution: D too small for the grid
  kImpossibleColours,  // a photon colour that no grid point allows
  kTooFewPhotons,      // fewer than 3 photons: nothing carries evidence
};

// One diffusion coefficient of a likelihood scan.
struct CoefficientRun {
  double diff_coeff = 0.0;         // m^2/s
  double log_likelihood = 0.0;     // minus infinity when the run is left out
  int boundary_photons = 0;        // photons whose distribution reaches the grid's edges
  double most_negative = 0.0;      // most negative propagated weight of both passes
  bool residue_dominates = false;  // most_negative below -1e-6: the numbers are not to be trusted
  LeftOut left_out = LeftOut::kNo;
};

struct LikelihoodScanResult {
  std::vector<CoefficientRun> runs;  // in the order of the coefficients
  std::vector<double> probability;   // normalised P(D) over the runs
};

}  // namespace pelmora
