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
#include "bursts/measurement_corrections.h"
#include "observer.h"
#include "pelmora/measurement.h"
#include "state/text_format.h"

namespace pelmora::binding {

namespace {

// A burst table's columns (bursts/burst_columns.h), as the search gives them
// or a table file holds them: all of them, or only burst, t_start_s and
// t_stop_s for a table file.
struct BurstColumns {
  std::vector<std::vector<double>> values;  // per column of burst_columns()
  bool counted = false;                     // every column, not only the windows
};

struct SearchResult {
  BurstColumns bursts;
  std::int64_t too_small = 0;
  std::vector<double> threshold_s;
  std::vector<std::string> warnings;
};

BurstColumns columns_of(const std::vector<Burst>& bursts) {
  BurstColumns c;
  c.counted = true;
  for (const BurstColumnInfo& info : burst_columns()) {
    std::vector<double>& column = c.values.emplace_back();
    for (const Burst& b : bursts) column.push_back(column_value(b, info.column));
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
                         double background_window_s, const std::string& method, double gamma,
                         double leakage, double dir_ex, double beta) {
  BurstSearchOptions options;
  options.method = parse_burst_search_method(method);
  options.corrections = FretCorrections{gamma, leakage, dir_ex, beta};
  check_corrections(options.corrections);
  check_corrections_for(options.corrections, measurement.description);
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

// The corrections estimate over the given windows, or over the bursts a
// search counting all three streams finds (no windows given).
MeasurementCorrections corrections_of(const Measurement& measurement, std::optional<Longs> numbers,
                                      std::optional<Doubles> starts, std::optional<Doubles> stops,
                                      double donor_only_s, double acceptor_only_s, int bootstrap,
                                      std::uint64_t seed, double known_leakage,
                                      double background_window_s) {
  std::optional<std::vector<BurstWindow>> table;
  if (numbers && starts && stops) {
    table.emplace();
    for (py::ssize_t i = 0; i < starts->size(); ++i) {
      table->push_back({numbers->data()[i], starts->data()[i], stops->data()[i]});
    }
  }
  CorrectionEstimateOptions options;
  options.donor_only_min_s = donor_only_s;
  options.acceptor_only_max_s = acceptor_only_s;
  options.resamples = bootstrap;
  options.seed = seed;
  options.known_leakage = known_leakage;
  BurstSearchOptions search;
  search.background_window_s = background_window_s;
  return estimate_measurement_corrections(measurement, table, "given to pelmora", search, options);
}

BurstColumns burst_table(const std::string& path) {
  BurstColumns c;
  c.values.resize(3);
  for (const BurstWindow& w : read_burst_table(path)) {
    c.values[0].push_back(static_cast<double>(w.number));
    c.values[1].push_back(w.t_start_s);
    c.values[2].push_back(w.t_stop_s);
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

// "0.0718 (95 %: 0.0686 to 0.0753, 181 bursts)", or the reason for none.
std::string coefficient_text(const CoefficientEstimate& c) {
  if (!c.value) return "none (" + c.reason + ")";
  std::string text = format_text("%.4g (", *c.value);
  if (c.ci95) text += format_text("95 %%: %.4g to %.4g, ", c.ci95->low, c.ci95->high);
  return text + format_text("%zu bursts)", c.bursts);
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
  // Each column by its name; `names` lists those it holds, in table order.
  py::class_<BurstColumns> columns(module, "BurstColumns");
  columns.def_property_readonly("names", [](const BurstColumns& self) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < self.values.size(); ++i) {
      names.emplace_back(burst_columns()[i].name);
    }
    return names;
  });
  for (std::size_t i = 0; i < burst_columns().size(); ++i) {
    const BurstColumnInfo& info = burst_columns()[i];
    columns.def_property_readonly(std::string(info.name).c_str(), [i](const BurstColumns& self) {
      return i < self.values.size() ? array_of(self.values[i]) : array_of(std::vector<double>{});
    });
  }
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
             py::arg("min_rate_khz"), py::arg("min_photons"), py::arg("background_window_s"),
             py::arg("method"), py::arg("gamma"), py::arg("leakage"), py::arg("dir_ex"),
             py::arg("beta"));
  py::class_<CoefficientEstimate>(module, "CoefficientEstimate")
      .def_property_readonly("value", [](const CoefficientEstimate& c) { return c.value; })
      .def_property_readonly("ci95",
                             [](const CoefficientEstimate& c) -> std::optional<py::tuple> {
                               if (!c.ci95) return std::nullopt;
                               return py::make_tuple(c.ci95->low, c.ci95->high);
                             })
      .def_readonly("bursts", &CoefficientEstimate::bursts)
      .def_readonly("reason", &CoefficientEstimate::reason)
      .def("__repr__", [](const CoefficientEstimate& c) {
        return "<pelmora.CoefficientEstimate: " + coefficient_text(c) + ">";
      });
  py::class_<MeasurementCorrections>(module, "CorrectionEstimate")
      .def_property_readonly("leakage",
                             [](const MeasurementCorrections& m) { return m.estimate.leakage; })
      .def_property_readonly("dir_ex",
                             [](const MeasurementCorrections& m) { return m.estimate.dir_ex; })
      .def_readonly("bursts", &MeasurementCorrections::bursts)
      .def_readonly("settings", &MeasurementCorrections::settings)
      .def_property_readonly(
          "options", [](const MeasurementCorrections& m) { return m.estimate.options_text(); })
      .def("__repr__", [](const MeasurementCorrections& m) {
        return "<pelmora.CorrectionEstimate of " + std::to_string(m.bursts) + " bursts: leakage " +
               coefficient_text(m.estimate.leakage) + "; dir_ex " +
               coefficient_text(m.estimate.dir_ex) + ">";
      });
  module.def("estimate_corrections", &corrections_of, py::arg("measurement"), py::arg("numbers"),
             py::arg("starts"), py::arg("stops"), py::arg("donor_only_s"),
             py::arg("acceptor_only_s"), py::arg("bootstrap"), py::arg("seed"),
             py::arg("known_leakage"), py::arg("background_window_s"));
  module.def("read_burst_table", &burst_table, py::arg("path"));
  module.def("burst_photon_arrays", &burst_photon_arrays, py::arg("measurement"), py::arg("starts"),
             py::arg("stops"));
}

}  // namespace pelmora::binding
