// One run of the likelihood scan as its two halves share it: the forward
// chain climbs from the first photon, the backward chain descends from the
// last, and either may run first, after the other, or at the same time on
// another thread.
//
// Photon j (1..N-2) is weighed with its forward and its backward row.  The
// interior photons form blocks; a chain claims each block as it reaches it.
// The first chain to reach a block leaves what the second needs there and
// goes on; the second weighs the block.  In row mode a block is one photon
// and the first chain leaves its row.  In checkpoint mode a block is a
// stretch of photons and the first chain leaves only its carried vector at
// the block's entry, from which the second recomputes the first's rows of the
// block: the same numbers bit for bit, for one extra pass over the photons.
// Run one after the other, the forward chain claims every block and the
// backward chain weighs them all; run side by side, the chains meet where
// they meet, and each weighs the blocks behind the other.  Every photon's
// contribution is the same bits either way, and log L sums them in photon
// order.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "engine/photon_chain.h"
#include "engine/stop_check.h"
#include "numeric/row_block.h"
#include "state/distance_grid.h"
#include "state/photon_list.h"

namespace pelmora {

struct RunResult {
  double log_likelihood = 0.0;
  int boundary_photons = 0;    // photons whose distribution reaches the grid's edges
  double most_negative = 0.0;  // most negative weight of either pass
  // A pass lost every positive weight (rounding residue swamped the
  // distribution): the run has no likelihood.
  bool collapsed = false;
  bool stopped = false;  // asked to stop before the end; nothing else holds
};

// How one chain of a run ended.
struct HalfOutcome {
  int boundary_photons = 0;    // of the photons this chain weighed
  double most_negative = 0.0;  // of this chain's own steps
  bool collapsed = false;
  bool stopped = false;
};

class SharedRun;

// A photon to weigh with its two rows, as SharedRun::weigh takes it.
struct PhotonWeighing {
  SharedRun* run = nullptr;
  int photon = 0;
  const double* forward = nullptr;
  const double* backward = nullptr;
};

// Weighs photons of runs on one grid, each exactly as SharedRun::weigh
// does; their sums run side by side, so that the additions of one photon,
// each waiting for the one before, overlap with the others'.  edges[i]: what
// weigh returns for photon i.
void weigh_photons(std::span<const PhotonWeighing> photons, std::span<char> edges);

// Checkpoint spacing for N photons: every row when they fit into `budget`
// bytes per run, else about sqrt(N).
int checkpoint_spacing(int photon_count, int bins, std::size_t budget);

class SharedRun {
 public:
  // `row_budget`: bytes the run may keep in rows; `spacing` > 0 fixes the
  // checkpoint spacing instead.  The grid must outlive the run.
  SharedRun(const DistanceGrid& grid, std::size_t row_budget, int spacing = 0);

  // Makes ready for a run with `diff_coeff` over `photons` (at least 3),
  // which must outlive the run: every block free again.  Storage only grows,
  // and is first touched by the chains that write it.  Neither chain may be
  // running.
  void prepare(const PhotonList& photons, double diff_coeff);

  const DistanceGrid& grid() const { return grid_; }
  const PhotonList& photons() const { return *photons_; }
  double diff_coeff() const { return diff_coeff_; }
  int photon_count() const { return count_; }
  // Row mode: blocks of one photon, whose rows the first chain leaves.
  bool keeps_rows() const { return keeps_rows_; }
  int blocks() const { return blocks_; }
  // Photons per block in checkpoint mode (1 in row mode).
  int block_length() const { return keeps_rows_ ? 1 : spacing_; }
  int block_first(int b) const { return 1 + b * block_length(); }
  int block_last(int b) const;

  // Claims block b for the calling chain: true when it is the first there and
  // is to leave its row or checkpoint in slot(b) and publish(b).
  bool claim(int b);
  std::span<double> slot(int b) { return slots_.row_span(static_cast<std::size_t>(b)); }
  void publish(int b);
  // Waits until the other chain has published block b.  False when the run
  // ends first (the other chain collapsed or stopped) or `stop` says so.
  bool await(int b, StopCheck& stop);
  // Whether block b has been published.
  bool published(int b) const;

  // Weighs photon j with its two rows; true when their product reaches the
  // grid's edges.
  bool weigh(int j, std::span<const double> forward, std::span<const double> backward);
  // The same with the two sums over the grid already formed (sum_overlap).
  bool weigh(int j, std::span<const double> forward, std::span<const double> backward, double sum,
             double colour_sum);

  // Whether a chain has ended the run early; the other then ends too.
  bool over() const { return over_.load(std::memory_order_acquire); }
  // The outcome of one chain.  A collapsed or stopped chain ends the run.
  void end_half(ScanDirection direction, const HalfOutcome& outcome);
  // Once both chains have ended (and the caller has seen both end_half
  // calls happen before): the run's result.
  RunResult result() const;

 private:
  const DistanceGrid& grid_;
  std::size_t row_budget_;
  int fixed_spacing_;
  int bins_;
  const PhotonList* photons_ = nullptr;
  double diff_coeff_ = 0.0;
  int count_ = 0;
  int spacing_ = 1;
  int blocks_ = 0;
  bool keeps_rows_ = true;
  RowBlock slots_;  // per block: the first chain's row (row mode) or checkpoint
  std::unique_ptr<std::atomic<unsigned char>[]> claims_;  // per block: free, claimed, published
  std::size_t claim_capacity_ = 0;
  std::vector<double> contribution_;  // ln(G/S) per photon
  std::vector<char> counted_;         // whether photon j contributes
  std::atomic<bool> over_{false};
  HalfOutcome halves_[2];  // forward, backward
};

}  // namespace pelmora
