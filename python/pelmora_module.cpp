// pelmora._core: the library's public headers (pelmora/analysis.h and
// pelmora/measurement.h) for the pure-Python package around it.  Arrays
// cross as numpy arrays that the Python layer has checked and converted,
// results as bound classes; the numbers are the library's, never recomputed
// here, so that they equal the command-line programs' to the bit.  The parts
// are in binding/: measurements and bursts, the scan, the trajectory.
//
// The engine runs with the GIL released.  Its observer takes the GIL back
// only to look for a pending signal (Ctrl-C) and to advance a progress bar;
// a KeyboardInterrupt, or an exception of the progress bar, stops the work,
// and is raised once the engine has joined its threads.  The Photon-HDF5
// reader keeps the GIL: h5py in the same process shares the one libhdf5, and
// the GIL is what keeps the two from running at once.
#include <pybind11/pybind11.h>

#include <exception>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>

#include "binding/arrays.h"
#include "binding/bindings.h"
#include "binding/observer.h"
#include "pelmora/measurement.h"

PYBIND11_MODULE(_core, module) {
  namespace py = pybind11;
  using namespace pelmora;
  using namespace pelmora::binding;
  module.doc() = "The compiled part of pelmora; use the package pelmora, not this module.";
  module.attr("__version__") = kVersion;

  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (const Error& error) {
      raise_error(error);
    } catch (const py::builtin_exception&) {
      throw;  // pybind11's own (a failed conversion): its translator says it
    } catch (const std::bad_alloc&) {
      PyErr_SetString(PyExc_MemoryError,
                      "Not enough memory for this analysis; use fewer time slices, distance "
                      "points or coefficients, or a machine with more memory.");
    } catch (const std::length_error&) {
      PyErr_SetString(PyExc_MemoryError,
                      "This analysis asked for an array larger than memory can hold; check the "
                      "sizes and times given (a span or count far beyond the data's).");
    } catch (const std::filesystem::filesystem_error& error) {
      const std::string path = error.path1().string();
      PyErr_SetString(
          PyExc_OSError,
          ("Could not read from file " + path + " (" + error.code().message() + ")").c_str());
    } catch (const std::exception&) {
      // Never the library's internal names: the sentence, and where to turn.
      PyErr_SetString(PyExc_RuntimeError,
                      "pelmora failed unexpectedly inside its compiled part; please report "
                      "this with the call that caused it.");
    }
  });

  bind_measurement(module);
  bind_scan(module);
  bind_trajectory(module);
  module.def(
      "log_spaced",
      [](double min_coeff, double max_coeff, int runs) {
        return array_of(log_spaced_coefficients(min_coeff, max_coeff, runs));
      },
      py::arg("Dmin"), py::arg("Dmax"), py::arg("n"));
  module.def(
      "normalize_likelihoods",
      [](const Doubles& log_likelihoods) {
        return array_of(normalize_likelihoods(span_of(log_likelihoods)));
      },
      py::arg("log_likelihoods"));
  module.def("default_threads", [] { return engine_options(0).threads; });
}
