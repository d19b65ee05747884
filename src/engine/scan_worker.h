// One worker of a likelihood scan: its chains side by side in the lanes of
// the vector registers.
//
// The scan's tasks (a record and a coefficient each) are cut into shares.
// With one chain slot per worker: whole tasks (the forward chain, then the
// backward chain) while more tasks remain than the scan has slots, then the
// last tasks by halves, so that two slots share each of them and none waits
// idle at the end.  With vector lanes, every task by halves: the two chains
// of a run then mostly share a worker, side by side, and a worker keeps half
// as many runs (and their rows) in progress as it has lanes.  A worker has
// one slot per lane; every round it fills its free slots with the
// next shares, takes one step of every chain that asks for one, all
// together, and resumes them.  A chain's numbers do not depend on its lane,
// its neighbours or its worker, so every task gives the same bits however
// the shares fall.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/chain_task.h"
#include "engine/lane_propagator.h"
#include "engine/likelihood_run.h"
#include "engine/stop_check.h"
#include "engine/task_board.h"
#include "engine/task_run.h"
#include "state/photon_list.h"

namespace pelmora {

// One run of a scan: a record and a coefficient.
struct ScanTask {
  int record;
  int run;
};

// The shares of a scan's tasks, handed out in order to whichever slot asks.
class ScanShares {
 public:
  struct Share {
    std::size_t task;
    ScanDirection first;  // the half to run (first)
    bool both;            // then the backward half too
  };
  // `workers` of `lanes` chain slots each.
  ScanShares(std::size_t tasks, int workers, int lanes);
  // The next share for a worker that runs `running` of them: none once all
  // are handed out, nor, near the end, while that worker runs its part of
  // what is left (so that the last shares spread over the workers).
  std::optional<Share> next(int running);
  // A share handed out by next() has ended.
  void ended() { running_.fetch_sub(1, std::memory_order_relaxed); }

 private:
  std::size_t workers_;
  std::size_t whole_;   // shares below this are whole tasks
  std::size_t shares_;  // all shares
  std::atomic<std::size_t> next_{0};
  std::atomic<std::size_t> running_{0};  // handed out and not yet ended
};

// What the workers of one scan share.
struct ScanContext {
  std::span<const PhotonList* const> records;
  std::span<const double> coefficients;
  std::span<const ScanTask> tasks;
  std::span<TaskRun> runs;
  RunPool& pool;
  TaskBoard& board;
  ScanShares& shares;
  std::atomic<bool>& stop;  // once raised, no share is begun and every chain ends
};

// Takes every share left and fails its halves with `failure`: the work of a
// worker that could not be set up.
void fail_shares(ScanContext& context, std::exception_ptr failure);

class ScanWorker {
 public:
  ScanWorker(const DistanceGrid& grid, SimdPath path, ScanContext& context);
  ~ScanWorker();
  ScanWorker(const ScanWorker&) = delete;
  ScanWorker& operator=(const ScanWorker&) = delete;

  // Chain slots: one per lane.
  int slots() const { return static_cast<int>(slots_.size()); }
  // One round; false once there is nothing left to do (no share left and
  // every slot idle).
  bool round();
  // Rounds until there is nothing left to do.
  void run();

 private:
  struct Slot {
    std::unique_ptr<LikelihoodRun> engine;  // made by the worker's thread, at first use
    ChainTask task;
    ScanShares::Share share{};
    ScanDirection direction = ScanDirection::kForward;
    bool running = false;  // holds a share from next()
  };
  // Begins `direction` of the slot's share; ends it at once when it cannot run.
  void begin(Slot& slot, ScanDirection direction);
  // The slot's chain has ended: its outcome (or failure) goes to the task,
  // and a whole share goes on with its backward half.
  void end(Slot& slot);

  const DistanceGrid& grid_;
  ScanContext& context_;
  StopCheck stop_;
  LanePropagator propagator_;
  std::vector<Slot> slots_;
  int running_ = 0;  // slots that hold a share
  std::vector<LaneStep> steps_;
  std::vector<PhotonWeighing> weighings_;
  std::vector<int> asking_;  // the slot of each step or photon weighed
  std::vector<char> ok_;
};

}  // namespace pelmora
