#include "observer.h"

#include "pelmora/machine_options.h"

namespace pelmora::binding {

void raise_error(const Error& error) {
  PyObject* type = PyExc_RuntimeError;
  switch (error.kind()) {
    case ErrorKind::kOption:
    case ErrorKind::kInput:
      type = PyExc_ValueError;
      break;
    case ErrorKind::kIo:
      type = PyExc_OSError;
      break;
    case ErrorKind::kMemory:
      type = PyExc_MemoryError;
      break;
    case ErrorKind::kComputation:
    case ErrorKind::kCancelled:
      // A cancellation that a signal caused never gets here: the observer
      // raises the KeyboardInterrupt itself.
      type = PyExc_RuntimeError;
      break;
  }
  PyErr_SetString(type, error.message().c_str());
}

bool PythonObserver::keep_going() {
  if (failure_) return false;
  const py::gil_scoped_acquire gil;
  if (PyErr_CheckSignals() != 0) {
    failure_.emplace();  // takes the KeyboardInterrupt (or a handler's exception)
    return false;
  }
  return true;
}

void PythonObserver::raise_pending() {
  if (!failure_) return;
  py::error_already_set failure = std::move(*failure_);
  failure_.reset();
  throw failure;
}

void PythonObserver::advance(int steps) {
  if (progress_.is_none() || steps <= 0 || failure_) return;
  const py::gil_scoped_acquire gil;
  try {
    progress_(steps);
  } catch (py::error_already_set& failure) {
    failure_.emplace(std::move(failure));
  }
}

EngineOptions engine_options(int threads) {
  EngineOptions engine = engine_options_for_this_machine();
  if (threads > 0) engine.threads = threads;
  return engine;
}

}  // namespace pelmora::binding
