// Results of a scan's tasks as the workers finish them, taken by the calling
// thread in task order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <vector>

#include "engine/shared_run.h"

namespace pelmora {

class TaskBoard {
 public:
  explicit TaskBoard(std::size_t tasks) : results_(tasks), failures_(tasks), done_(tasks, false) {}

  void post(std::size_t task, const RunResult& result) {
    bool awaited = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      results_[task] = result;
      done_[task] = true;
      awaited = task == awaited_;
    }
    // Only the task the caller waits for wakes it: a scan of many short
    // runs would otherwise wake it for every one.
    if (awaited) posted_.notify_one();
  }

  void fail(std::size_t task, std::exception_ptr failure) {
    bool awaited = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      failures_[task] = std::move(failure);
      done_[task] = true;
      awaited = task == awaited_;
    }
    if (awaited) posted_.notify_one();
  }

  // Waits at most `patience` for the task; true once it is done.  Only one
  // thread waits.
  bool wait(std::size_t task, std::chrono::milliseconds patience) {
    std::unique_lock<std::mutex> lock(mutex_);
    awaited_ = task;
    return posted_.wait_for(lock, patience, [&] { return static_cast<bool>(done_[task]); });
  }

  // Whether the task is done, without waiting.
  bool done(std::size_t task) {
    std::lock_guard<std::mutex> lock(mutex_);
    return done_[task] != 0;
  }

  // The result of a done task; rethrows what its worker met.
  RunResult take(std::size_t task) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failures_[task]) std::rethrow_exception(failures_[task]);
    return results_[task];
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<RunResult> results_;
  std::vector<std::exception_ptr> failures_;
  std::vector<char> done_;
  std::size_t awaited_ = static_cast<std::size_t>(-1);
};

}  // namespace pelmora
