#include "engine/task_run.h"

#include <thread>

namespace pelmora {

SharedRun& RunPool::borrow() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (free_.empty()) {
    // Reserved first, so that give_back never needs memory.
    free_.reserve(runs_.size() + 1);
    runs_.push_back(std::make_unique<SharedRun>(grid_, row_budget_, spacing_));
    return *runs_.back();
  }
  SharedRun* run = free_.back();
  free_.pop_back();
  return *run;
}

void RunPool::give_back(SharedRun& run) {
  std::lock_guard<std::mutex> lock(mutex_);
  free_.push_back(&run);
}

SharedRun* TaskRun::join(RunPool& pool, const PhotonList& photons, double diff_coeff) {
  int state = kAbsent;
  if (state_.compare_exchange_strong(state, kPreparing, std::memory_order_acq_rel)) {
    SharedRun* run = nullptr;
    try {
      run = &pool.borrow();
      run->prepare(photons, diff_coeff);
    } catch (...) {
      if (run != nullptr) pool.give_back(*run);
      state_.store(kFailed, std::memory_order_release);
      throw;
    }
    run_ = run;
    state_.store(kReady, std::memory_order_release);
    return run_;
  }
  // Preparing allocates at most and clears the run's claims: a short wait.
  while ((state = state_.load(std::memory_order_acquire)) == kPreparing) std::this_thread::yield();
  return state == kReady ? run_ : nullptr;
}

void TaskRun::fail(ScanDirection half, std::exception_ptr failure) {
  failures_[half == ScanDirection::kForward ? 0 : 1] = std::move(failure);
  if (state_.load(std::memory_order_acquire) == kReady) {
    HalfOutcome ended;
    ended.stopped = true;
    run_->end_half(half, ended);
  }
}

void TaskRun::post(std::size_t task, TaskBoard& board, RunPool& pool) {
  if (failures_[0] || failures_[1]) {
    board.fail(task, failures_[0] ? failures_[0] : failures_[1]);
  } else if (run_ != nullptr) {
    board.post(task, run_->result());
  }
  if (run_ != nullptr) pool.give_back(*run_);
}

}  // namespace pelmora
