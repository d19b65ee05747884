// Whether work should stop early: because another thread raised the shared
// flag, or because the caller's observer, asked every so often from the
// caller's own thread, said so.
#pragma once

#include <atomic>
#include <chrono>

#include "state/observer.h"

namespace pelmora {

class StopCheck {
 public:
  // `observer` only for work on the thread that called the analysis; other
  // threads watch the flag alone.
  StopCheck(std::atomic<bool>& flag, Observer* observer) : flag_(flag), observer_(observer) {}

  // Cheap enough to ask once per photon.
  bool operator()() {
    if (observer_ != nullptr && ++calls_ % kCallsPerClockRead == 0) poll();
    return flag_.load(std::memory_order_relaxed);
  }

  // Asks the observer now (from the caller's thread) and raises the flag if
  // it says stop.
  void poll() {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_poll_ < kPollInterval) return;
    last_poll_ = now;
    if (!observer_->keep_going()) {
      cancelled_ = true;
      flag_.store(true, std::memory_order_relaxed);
    }
  }

  // Whether the observer asked to stop.
  bool cancelled() const { return cancelled_; }

 private:
  static constexpr int kCallsPerClockRead = 16;
  static constexpr std::chrono::milliseconds kPollInterval{50};

  std::atomic<bool>& flag_;
  Observer* observer_;
  int calls_ = 0;
  bool cancelled_ = false;
  std::chrono::steady_clock::time_point last_poll_ = std::chrono::steady_clock::now();
};

}  // namespace pelmora
