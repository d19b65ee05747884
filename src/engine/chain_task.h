// A chain's work as a coroutine that hands out its propagation steps one at
// a time, so that whoever drives it can take the steps of several chains
// together, side by side in vector lanes (engine/lane_propagator.h).
//
//   ChainTask task = some_half(...);       // created suspended
//   task.resume();                          // runs to its first step or pause
//   while (!task.done()) {
//     if (const LaneStep* step = task.step()) task.answer(propagate(*step));
//     task.resume();
//   }
//   task.rethrow();                         // what the coroutine threw, if anything
//
// Inside, `bool ok = co_await ChainTask::Propagate{step};` waits for the
// step's outcome, `bool edges = co_await ChainTask::Weigh{photon};` for a
// photon weighed (engine/shared_run.h: weigh_photons), and
// `co_await ChainTask::Pause{};` gives the other chains a round (while it
// waits for another thread).
#pragma once

#include <coroutine>
#include <exception>
#include <utility>

#include "engine/lane_propagator.h"
#include "engine/shared_run.h"

namespace pelmora {

class ChainTask {
 public:
  struct promise_type {
    LaneStep request;
    PhotonWeighing weighing;
    bool asks = false;    // request holds a step to take before the next resume
    bool weighs = false;  // weighing holds a photon to weigh before the next resume
    bool ok = false;      // the outcome of the last step taken or photon weighed
    std::exception_ptr failure;

    ChainTask get_return_object() {
      return ChainTask(std::coroutine_handle<promise_type>::from_promise(*this));
    }
    std::suspend_always initial_suspend() noexcept { return {}; }
    std::suspend_always final_suspend() noexcept { return {}; }
    void return_void() {}
    void unhandled_exception() { failure = std::current_exception(); }
  };
  using Handle = std::coroutine_handle<promise_type>;

  // co_await Propagate{step}: true when the step kept a distribution.
  struct Propagate {
    LaneStep step;
    Handle handle{};
    bool await_ready() const noexcept { return false; }
    void await_suspend(Handle h) noexcept {
      handle = h;
      h.promise().request = step;
      h.promise().asks = true;
    }
    bool await_resume() const noexcept { return handle.promise().ok; }
  };
  // co_await Weigh{photon}: true when the photon's distribution reaches the
  // grid's edges.
  struct Weigh {
    PhotonWeighing photon;
    Handle handle{};
    bool await_ready() const noexcept { return false; }
    void await_suspend(Handle h) noexcept {
      handle = h;
      h.promise().weighing = photon;
      h.promise().weighs = true;
    }
    bool await_resume() const noexcept { return handle.promise().ok; }
  };
  // co_await Pause{}: lets the driver run a round without this chain.
  struct Pause {
    bool await_ready() const noexcept { return false; }
    void await_suspend(Handle h) noexcept { h.promise().asks = false; }
    void await_resume() const noexcept {}
  };

  ChainTask() = default;
  explicit ChainTask(Handle handle) : handle_(handle) {}
  ChainTask(ChainTask&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
  ChainTask& operator=(ChainTask&& other) noexcept {
    if (this != &other) {
      if (handle_) handle_.destroy();
      handle_ = std::exchange(other.handle_, {});
    }
    return *this;
  }
  ChainTask(const ChainTask&) = delete;
  ChainTask& operator=(const ChainTask&) = delete;
  ~ChainTask() {
    if (handle_) handle_.destroy();
  }

  bool valid() const { return static_cast<bool>(handle_); }
  bool done() const { return handle_.done(); }
  // Runs the coroutine to its next step, pause or end.
  void resume() {
    handle_.promise().asks = false;
    handle_.promise().weighs = false;
    handle_.resume();
  }
  // The step it waits for, or nullptr.
  const LaneStep* step() const {
    return !handle_.done() && handle_.promise().asks ? &handle_.promise().request : nullptr;
  }
  // The photon it waits to have weighed, or nullptr.
  const PhotonWeighing* weighing() const {
    return !handle_.done() && handle_.promise().weighs ? &handle_.promise().weighing : nullptr;
  }
  void answer(bool ok) { handle_.promise().ok = ok; }
  // Rethrows what the coroutine threw, once it is done.
  void rethrow() const {
    if (handle_.promise().failure) std::rethrow_exception(handle_.promise().failure);
  }

 private:
  Handle handle_;
};

}  // namespace pelmora
