// What every part of the binding shares: errors raised as Python exceptions,
// an observer that reports progress and looks for Ctrl-C under the GIL, and
// the engine run without the GIL.
#pragma once

#include <pybind11/pybind11.h>

#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pelmora/analysis.h"

namespace pelmora::binding {

namespace py = pybind11;

// The library's error as the Python exception of its kind, with its sentence.
void raise_error(const Error& error);

// Collects warnings; reports progress and asks for signals under the GIL.
class PythonObserver final : public Observer {
 public:
  // `progress` is None or a callable taking the number of steps done since
  // its last call.
  explicit PythonObserver(py::object progress) : progress_(std::move(progress)) {}

  void pass_started(Pass) override { percent_ = 0; }
  void pass_progress(Pass, int percent) override {
    advance(percent - percent_);
    percent_ = percent;
  }
  void pass_finished(Pass) override {
    advance(100 - percent_);
    percent_ = 100;
  }
  void run_finished(const RunTicket&, const CoefficientRun&) override { advance(1); }
  void warning(const Warning& warning) override { warnings_.push_back(warning.text); }
  bool keep_going() override;

  std::vector<std::string>& warnings() { return warnings_; }

  // Raises what stopped the work, if anything did.  Called with the GIL.
  void raise_pending();

 private:
  void advance(int steps);

  py::object progress_;
  std::optional<py::error_already_set> failure_;
  std::vector<std::string> warnings_;
  int percent_ = 0;
};

// Runs `work` without the GIL; what stopped it (a signal, the progress bar)
// is raised in preference to the engine's own kCancelled.
template <typename Work>
auto without_gil(PythonObserver& observer, Work work) {
  std::optional<decltype(work())> result;
  std::exception_ptr failure;
  {
    const py::gil_scoped_release release;
    try {
      result.emplace(work());
    } catch (...) {
      failure = std::current_exception();
    }
  }
  observer.raise_pending();
  if (failure) std::rethrow_exception(failure);
  return std::move(*result);
}

// As the command line sets the engine up (threads from PELMORA_THREADS or the
// CPUs this process may use, row storage from the machine's memory), with
// the caller's thread count when given (> 0).
EngineOptions engine_options(int threads);

}  // namespace pelmora::binding
