// The parts of the module pelmora._core, each registered by its own file.
#pragma once

#include <pybind11/pybind11.h>

namespace pelmora::binding {

void bind_measurement(pybind11::module_& module);  // measurement_binding.cpp
void bind_scan(pybind11::module_& module);         // scan_binding.cpp
void bind_trajectory(pybind11::module_& module);   // trajectory_binding.cpp

}  // namespace pelmora::binding
