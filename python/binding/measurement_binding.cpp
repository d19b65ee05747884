// Photon-HDF5 measurements, photon files, the burst search and burst tables.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "arrays.h"
#include "bindings.h"
#include "observer.h"
#include "pelmora/measurement.h"

namespace pelmora::binding {

namespace {

// A burst table's columns, as the search gives them or a table file holds them.
struct BurstColumns {
  std::vector<std::int64_t> burst;
  std::vector<double> t_start_s;
  std::vector<double> t_stop_s;
  std::vector<std::int64_t> photons;  // with counts only
  std::vector<std::int64_t> donor;
  std::vector<std::int64_t> acceptor;
  std::vector<double> raw_E;
};

struct SearchResult {
  BurstColumns bursts;
  std::int64_t too_small = 0;
  std::vector<double> threshold_s;
  std::vector<std::string> warnings;
};

BurstColumns columns_of(const std::vector<Burst>& bursts) {
  BurstColumns c;
  for (const Burst& b : bursts) {
    c.burst.push_back(b.window.number);
    c.t_start_s.push_back(b.window.t_start_s);
    c.t_stop_s.push_back(b.window.t_stop_s);
    c.photons.push_back(b.counts.photons);
    c.donor.push_back(b.counts.donor);
    c.acceptor.push_back(b.counts.acceptor);
    c.raw_E.push_back(b.counts.raw_efficiency());
  }
  return c;
}

Measurement read_measurement(const std::string& path, std::optional<int> spot,
                             std::optional<std::string> measurement_type,
                             std::optional<std::int64_t> alex_period,
                             std::optional<std::int64_t> alex_offset,
                             std::optional<std::pair<std::int64_t, std::int64_t>> donor_window) {
  MeasurementOverrides overrides;
  overrides.spot = spot;
  overrides.measurement_type = std::move(measurement_type);
  overrides.alex_period = alex_period;
  overrides.alex_offset = alex_offset;
  overrides.donor_window = donor_window;
  // With the GIL held: h5py in the same process shares the one libhdf5, and
  // the GIL is what keeps the two from running at once.
  return read_photon_hdf5(path, overrides);
}

py::tuple read_photons(const std::string& path) {
  PythonObserver observer{py::none()};
  const PhotonList photons =
      without_gil(observer, [&] { return read_photon_file(path, observer); });
  std::vector<std::uint8_t> acceptor;
  acceptor.reserve(photons.photon_types.size());
  for (const std::int8_t type : photons.photon_types) acceptor.push_back(type == kAcceptorPhoton);
  return py::make_tuple(array_of(photons.photon_times), array_of(acceptor),
                        py::cast(observer.warnings()));
}

SearchResult find_bursts(const Measurement& measurement, int m, double f,
                         std::optional<double> min_rate_khz, int min_photons,
                         double background_window_s) {
  BurstSearchOptions options;
  options.m = m;
  options.F = f;
  options.min_rate_khz = min_rate_khz;
  options.min_photons = min_photons;
  options.background_window_s = background_window_s;
  PythonObserver observer{py::none()};
  return without_gil(observer, [&] {
    const MeasurementSearch search = search_measurement(measurement, options);
    return SearchResult{
        columns_of(search.found.bursts), search.found.too_small, search.found.threshold_s,
        search.background ? search.background->warnings : std::vector<std::string>{}};
  });
}

BurstColumns burst_table(const std::string& path) {
  BurstColumns c;
  for (const BurstWindow& w : read_burst_table(path)) {
    c.burst.push_back(w.number);
    c.t_start_s.push_back(w.t_start_s);
    c.t_stop_s.push_back(w.t_stop_s);
  }
  return c;
}

// The analysed photons of each window as burst_photons gives them: times in
// mu s from the burst's first photon and colours.
py::list burst_photon_arrays(const Measurement& measurement, const Doubles& starts,
                             const Doubles& stops) {
  py::list out;
  for (py::ssize_t i = 0; i < starts.size(); ++i) {
    BurstWindow window;
    window.t_start_s = starts.data()[i];
    window.t_stop_s = stops.data()[i];
    const BurstPhotons photons = burst_photons(measurement, window);
    out.append(py::make_tuple(array_of(photons.times_us), array_of(photons.acceptor)));
  }
  return out;
}

template <typename T, typename Field>
auto array_property(Field field) {
  return [field](const T& self) { return array_of(self.*field); };
}

}  // namespace

void bind_measurement(py::module_& module) {
  py::class_<DetectorCount>(module, "DetectorCount")
      .def_readonly("detector", &DetectorCount::detector)
      .def_readonly("photons", &DetectorCount::photons)
      .def_readonly("donor_excited", &DetectorCount::donor_excited);
  py::class_<AlexSettings>(module, "AlexSettings")
      .def_readonly("period", &AlexSettings::period)
      .def_readonly("offset", &AlexSettings::offset)
      .def_readonly("donor_start", &AlexSettings::donor_start)
      .def_readonly("donor_stop", &AlexSettings::donor_stop)
      .def_readonly("nanotime_windows", &AlexSettings::nanotime_windows);
  py::class_<MeasurementDescription>(module, "MeasurementDescription")
      .def_readonly("path", &MeasurementDescription::path)
      .def_readonly("file_size", &MeasurementDescription::file_size)
      .def_readonly("format_version", &MeasurementDescription::format_version)
      .def_readonly("measurement_type", &MeasurementDescription::measurement_type)
      .def_readonly("stored_measurement_type", &MeasurementDescription::stored_measurement_type)
      .def_readonly("spots", &MeasurementDescription::spots)
      .def_readonly("spot", &MeasurementDescription::spot)
      .def_readonly("timestamps_unit", &MeasurementDescription::timestamps_unit)
      .def_readonly("donor_detectors", &MeasurementDescription::donor_detectors)
      .def_readonly("acceptor_detectors", &MeasurementDescription::acceptor_detectors)
      .def_readonly("alex", &MeasurementDescription::alex)
      .def_readonly("detectors", &MeasurementDescription::detectors)
      .def_readonly("first_timestamp", &MeasurementDescription::first_timestamp)
      .def_readonly("last_timestamp", &MeasurementDescription::last_timestamp);
  py::class_<Measurement>(module, "Measurement")
      .def_property_readonly(
          "timestamps",
          [](py::object self) { return view_of(self.cast<const Measurement&>().timestamps, self); })
      .def_property_readonly(
          "flags",
          [](py::object self) { return view_of(self.cast<const Measurement&>().flags, self); })
      .def_readonly("description", &Measurement::description)
      .def("__len__", [](const Measurement& m) { return m.timestamps.size(); });
  py::class_<BurstColumns>(module, "BurstColumns")
      .def_property_readonly("burst", array_property<BurstColumns>(&BurstColumns::burst))
      .def_property_readonly("t_start_s", array_property<BurstColumns>(&BurstColumns::t_start_s))
      .def_property_readonly("t_stop_s", array_property<BurstColumns>(&BurstColumns::t_stop_s))
      .def_property_readonly("photons", array_property<BurstColumns>(&BurstColumns::photons))
      .def_property_readonly("donor", array_property<BurstColumns>(&BurstColumns::donor))
      .def_property_readonly("acceptor", array_property<BurstColumns>(&BurstColumns::acceptor))
      .def_property_readonly("raw_E", array_property<BurstColumns>(&BurstColumns::raw_E));
  py::class_<SearchResult>(module, "SearchResult")
      .def_readonly("bursts", &SearchResult::bursts)
      .def_readonly("too_small", &SearchResult::too_small)
      .def_property_readonly("threshold_s",
                             array_property<SearchResult>(&SearchResult::threshold_s))
      .def_readonly("warnings", &SearchResult::warnings);

  module.def("read_photon_hdf5", &read_measurement, py::arg("path"), py::arg("spot"),
             py::arg("measurement_type"), py::arg("alex_period"), py::arg("alex_offset"),
             py::arg("donor_window"));
  module.def("read_photons", &read_photons, py::arg("path"));
  module.def("search_bursts", &find_bursts, py::arg("measurement"), py::arg("m"), py::arg("F"),
             py::arg("min_rate_khz"), py::arg("min_photons"), py::arg("background_window_s"));
  module.def("read_burst_table", &burst_table, py::arg("path"));
  module.def("burst_photon_arrays", &burst_photon_arrays, py::arg("measurement"), py::arg("starts"),
             py::arg("stops"));
}

}  // namespace pelmora::binding
