// How the workers of a scan meet on a run: each task (a record and a
// coefficient) is two halves, which the same worker or two workers take.
// The half that comes first borrows a run from the pool and prepares it; the
// half that leaves last posts the task's result and returns the run.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/shared_run.h"
#include "engine/task_board.h"

namespace pelmora {

// Runs lent to tasks and returned, each with its storage kept for the next
// task.  A task holds one from its first half's arrival to its last half's
// departure, so there are never more than there are workers.
class RunPool {
 public:
  RunPool(const DistanceGrid& grid, std::size_t row_budget, int spacing)
      : grid_(grid), row_budget_(row_budget), spacing_(spacing) {}

  SharedRun& borrow();
  void give_back(SharedRun& run);

 private:
  const DistanceGrid& grid_;
  std::size_t row_budget_;
  int spacing_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<SharedRun>> runs_;
  std::vector<SharedRun*> free_;
};

class TaskRun {
 public:
  // The task's run, prepared by whichever half arrives first; nullptr when
  // that failed (it rethrows what it met for itself).
  SharedRun* join(RunPool& pool, const PhotonList& photons, double diff_coeff);
  // What a half met instead of running; the other half, if running, ends.
  void fail(ScanDirection half, std::exception_ptr failure);
  // True for the half that leaves last: it then calls post().
  bool leave() { return halves_left_.fetch_sub(1, std::memory_order_acq_rel) == 1; }
  // Posts the task's result or failure and returns its run to the pool.
  void post(std::size_t task, TaskBoard& board, RunPool& pool);

 private:
  enum State : int { kAbsent, kPreparing, kReady, kFailed };
  std::atomic<int> state_{kAbsent};
  SharedRun* run_ = nullptr;
  std::atomic<int> halves_left_{2};
  std::exception_ptr failures_[2];  // forward, backward
};

}  // namespace pelmora
