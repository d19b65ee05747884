// The log-likelihood of the photon colours for one diffusion coefficient.
//
// Per photon j (all but the first and the last) it needs the forward row
// (the distribution at j given the photons before it) and the backward row
// (given the photons after it) together.  A run is two chains that meet
// (shared_run.h): one worker may run both halves one after the other, or two
// workers one half each at the same time, or a worker may run a half in one
// vector lane beside other runs' halves.  Either way every number is the
// same bit for bit.
#pragma once

#include <span>

#include "engine/chain_task.h"
#include "engine/photon_chain.h"
#include "engine/shared_run.h"
#include "engine/stop_check.h"
#include "numeric/row_block.h"
#include "state/distance_grid.h"

namespace pelmora {

// One chain slot's engine: its own propagator workspace, a chain in each
// direction and the rows it recomputes, reused from run to run and from
// record to record.  Nothing is shared with other slots except the read-only
// grid and photon records and the runs it takes a half of.
class LikelihoodRun {
 public:
  explicit LikelihoodRun(const DistanceGrid& grid);

  // One chain of `run` (prepared, and not yet run in that direction) as a
  // coroutine that hands out its steps; at its end it hands its outcome to
  // run.end_half.  Allocates only before the chain claims its first block,
  // so that a failure leaves the other chain free to finish.  The engine
  // runs one such chain at a time.
  ChainTask half(SharedRun& run, ScanDirection direction, StopCheck& stop);

  // The same, every step taken here as it comes.
  void run_half(SharedRun& run, ScanDirection direction, StopCheck& stop);

  // Both halves one after the other: the whole run on this thread.
  RunResult run(SharedRun& run, StopCheck& stop);

 private:
  PhotonChain& chain(ScanDirection direction) {
    return direction == ScanDirection::kForward ? forward_ : backward_;
  }
  // Whether to carry on: false (marked stopped) once asked to stop or once
  // the other chain has ended the run.
  static bool go_on(SharedRun& run, HalfOutcome& outcome, StopCheck& stop);
  // Photon k to weigh with own's row and the other chain's row.
  static PhotonWeighing weighing(SharedRun& run, int k, const PhotonChain& own,
                                 std::span<const double> other);

  int bins_;
  FftWorkspace workspace_;
  PhotonChain forward_;
  PhotonChain backward_;
  RowBlock rows_;  // the other chain's rows of one block, recomputed from its checkpoint
};

}  // namespace pelmora
