// Starting worker threads without letting a refusal of the system end the
// process: a thread that cannot be started leaves its work to the threads
// that could.
#pragma once

#include <atomic>
#include <exception>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "state/observer.h"

namespace pelmora {

// The thread running `work`, or nothing when the system refuses one (too
// many threads, an address-space limit).
template <typename Work>
std::optional<std::jthread> try_start_thread(Work&& work) {
  try {
    return std::jthread(std::forward<Work>(work));
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  return std::nullopt;
}

// The warning for `missing` of `wanted` worker threads that could not be started.
Warning fewer_threads_warning(int missing, int wanted);

// Raises `flag` when the scope is left by an exception, so that threads
// watching it stop before they are joined.
class RaiseOnUnwind {
 public:
  explicit RaiseOnUnwind(std::atomic<bool>& flag)
      : flag_(flag), exceptions_(std::uncaught_exceptions()) {}
  ~RaiseOnUnwind() {
    if (std::uncaught_exceptions() > exceptions_) flag_.store(true, std::memory_order_relaxed);
  }
  RaiseOnUnwind(const RaiseOnUnwind&) = delete;
  RaiseOnUnwind& operator=(const RaiseOnUnwind&) = delete;

 private:
  std::atomic<bool>& flag_;
  int exceptions_;
};

}  // namespace pelmora
