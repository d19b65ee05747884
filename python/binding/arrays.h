// numpy arrays from and to the library's vectors.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <span>
#include <vector>

namespace pelmora::binding {

namespace py = pybind11;

using Doubles = py::array_t<double, py::array::c_style>;
using Bytes = py::array_t<std::uint8_t, py::array::c_style>;
using Longs = py::array_t<std::int64_t, py::array::c_style>;

template <typename T>
std::span<const T> span_of(const py::array_t<T, py::array::c_style>& array) {
  return {array.data(), static_cast<std::size_t>(array.size())};
}

template <typename T>
std::vector<T> vector_of(const py::array_t<T, py::array::c_style>& array) {
  return {array.data(), array.data() + array.size()};
}

template <typename T>
py::array_t<T> array_of(const std::vector<T>& values) {
  return py::array_t<T>(static_cast<py::ssize_t>(values.size()), values.data());
}

// A read-only numpy view of memory that `owner` keeps alive.
template <typename T>
py::array view_of(const std::vector<T>& values, py::handle owner) {
  py::array_t<T> array(static_cast<py::ssize_t>(values.size()), values.data(), owner);
  array.attr("setflags")(py::arg("write") = false);
  return array;
}

}  // namespace pelmora::binding
