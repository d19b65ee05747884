// The log-likelihood of the photon colours for one diffusion coefficient.
//
// Per photon j (all but the first and the last) it needs the forward row
// (the distribution at j given the photons before it) and the backward row
// (given the photons after it) together.  The forward pass keeps its rows a
// stretch at a time: checkpoints of the carried vector every K photons, from
// which the backward pass has each stretch recomputed as it reaches it.  The
// recomputed rows are the same numbers bit for bit; with K at least N - 2 the
// forward pass simply keeps every row.
#pragma once

#include <vector>

#include "engine/photon_chain.h"
#include "engine/stop_check.h"
#include "numeric/indexed_array.h"
#include "state/distance_grid.h"
#include "state/photon_list.h"

namespace pelmora {

struct RunResult {
  double log_likelihood = 0.0;
  int boundary_photons = 0;  // photons whose distribution reaches the grid's edges
  double most_negative = 0.0;  // most negative weight of either pass
  // A pass lost every positive weight (rounding residue swamped the
  // distribution): the run has no likelihood.
  bool collapsed = false;
  bool stopped = false;  // asked to stop before the end; nothing else holds
};

// Checkpoint spacing for N photons: every row when they fit into `budget`
// bytes per run, else about sqrt(N).
int checkpoint_spacing(int photon_count, int bins, std::size_t budget);

// One worker's engine: its own propagator workspace, passes and rows, reused
// from run to run and from record to record.  Nothing is shared with other
// workers except the read-only grid and photon records.
class LikelihoodRun {
 public:
  // `row_budget`: bytes this engine may keep in forward rows; `spacing` > 0
  // fixes the checkpoint spacing instead.
  LikelihoodRun(const DistanceGrid& grid, std::size_t row_budget, int spacing = 0);

  // Makes ready for runs over `photons` (at least 3), which must outlive those
  // runs: settles the spacing and grows the row storage if the record needs
  // more than any before it.
  void prepare(const PhotonList& photons);

  RunResult run(double diff_coeff, StopCheck& stop);

 private:
  int segment_of(int j) const { return (j - 1) / spacing_; }
  int segment_first(int c) const { return 1 + c * spacing_; }
  int segment_last(int c) const;
  // Rebuilds the forward rows of segment c from its checkpoint.
  void recompute_segment(int c);
  void weigh_photon(int j, std::span<const double> forward, std::span<const double> backward);

  const DistanceGrid& grid_;
  std::size_t row_budget_;
  int fixed_spacing_;
  const PhotonList* photons_ = nullptr;
  int count_ = 0;
  int bins_;
  int spacing_ = 1;
  int segments_ = 1;
  FftWorkspace workspace_;
  PhotonChain forward_;
  PhotonChain backward_;
  DMatrix checkpoints_;  // weighted vector at photon c*K, for segments before the last
  DMatrix rows_;         // forward rows of the segment in hand
  int rows_segment_ = -1;
  std::vector<double> contribution_;  // ln(G/S) per photon
  std::vector<char> counted_;         // whether photon j contributes
  int boundary_photons_ = 0;
};

}  // namespace pelmora
