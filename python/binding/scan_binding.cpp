// The scan of bursts: its request, the bursts as photon records, the scan,
// its joint result and estimate, its warnings and summary, and its shares
// (which carry a scan between processes: the chunks of a Dask scan).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <limits>
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

ScanRequest make_request(const Doubles& coefficients, double foerster_radius, double min_distance,
                         std::optional<double> max_distance, int distance_bins,
                         const std::string& model, std::optional<std::string> background,
                         double gamma, double leakage, double dir_ex, double beta) {
  AnalysisOptions options;
  options.foerster_radius = foerster_radius;
  options.min_distance = min_distance;
  options.max_distance = max_distance;
  options.distance_bins = distance_bins;
  ScanRequest request;
  request.analysis = derive_settings(options);
  request.coefficients = vector_of(coefficients);
  request.model = parse_model_scan(model);
  if (background) request.background = parse_background_choice(*background);
  request.corrections = FretCorrections{gamma, leakage, dir_ex, beta};
  check_corrections(request.corrections);
  return request;
}

BurstRecords records_of_measurement(const Measurement& measurement, const Longs& numbers,
                                    const Doubles& starts, const Doubles& stops,
                                    const ScanRequest& request, double background_window_s) {
  BurstSelection selection;
  selection.table.emplace();
  for (py::ssize_t i = 0; i < starts.size(); ++i) {
    selection.table->push_back({numbers.data()[i], starts.data()[i], stops.data()[i]});
  }
  selection.table_name = "given to pelmora.scan";
  selection.search.background_window_s = background_window_s;
  PythonObserver observer{py::none()};
  // With the GIL: the measurement is read, not the engine run.
  BurstRecords records =
      measurement_records(measurement, selection, request, std::nullopt, observer);
  if (records.stoichiometry) {
    records.warnings.push_back(
        records.stoichiometry->text("bursts[(bursts.S >= 0.2) & (bursts.S <= 0.8)]"));
  }
  return records;
}

BurstRecords records_of_arrays(const py::list& records) {
  std::vector<Doubles> times;
  std::vector<Bytes> colours;
  std::vector<PhotonArrays> arrays;
  for (const py::handle item : records) {
    const py::tuple record = item.cast<py::tuple>();
    times.push_back(record[0].cast<Doubles>());
    colours.push_back(record[1].cast<Bytes>());
  }
  for (std::size_t i = 0; i < times.size(); ++i) {
    arrays.push_back({span_of(times[i]), span_of(colours[i])});
  }
  PythonObserver observer{py::none()};
  return array_records(arrays, observer);
}

// The records as plain values, for pickle: a scan's chunks go to other
// processes as these.
py::tuple records_state(const BurstRecords& r) {
  std::vector<std::int64_t> positions, numbers, counts, simultaneous, offsets{0};
  std::vector<double> starts, stops, expected, times;
  std::vector<std::uint8_t> has_expected, acceptor;
  std::vector<std::string> refused;
  for (const BurstRecord& b : r.bursts) {
    positions.push_back(static_cast<std::int64_t>(b.position));
    numbers.push_back(b.window.number);
    starts.push_back(b.window.t_start_s);
    stops.push_back(b.window.t_stop_s);
    // n_aa of -1: none (no acceptor excitation).
    counts.insert(counts.end(), {b.counts.photons, b.counts.donor, b.counts.acceptor,
                                 b.counts.acceptor_excited.value_or(-1)});
    simultaneous.push_back(b.simultaneous_photons);
    refused.push_back(b.refused);
    has_expected.push_back(b.expected_background ? 1 : 0);
    const BackgroundCounts background = b.expected_background.value_or(BackgroundCounts{});
    expected.insert(expected.end(),
                    {background.donor, background.acceptor, background.acceptor_excited});
    times.insert(times.end(), b.photons.photon_times.begin(), b.photons.photon_times.end());
    for (const std::int8_t type : b.photons.photon_types)
      acceptor.push_back(type == kAcceptorPhoton);
    offsets.push_back(static_cast<std::int64_t>(times.size()));
  }
  py::object shard = py::none();
  if (r.shard) shard = py::make_tuple(r.shard->index, r.shard->count);
  return py::make_tuple(source_text(r.source), r.table_bursts, shard, r.warnings,
                        array_of(simultaneous), array_of(positions), array_of(numbers),
                        array_of(starts), array_of(stops), array_of(counts), refused,
                        array_of(has_expected), array_of(expected), array_of(offsets),
                        array_of(times), array_of(acceptor));
}

BurstRecords records_from_state(const py::tuple& state) {
  if (state.size() != 16) throw Error(ErrorKind::kInput, "Not the state of burst records.");
  BurstRecords r;
  r.source = source_from_text(state[0].cast<std::string>(), "Burst records");
  r.table_bursts = state[1].cast<std::size_t>();
  if (!state[2].is_none()) {
    const auto [index, count] = state[2].cast<std::pair<long long, long long>>();
    r.shard = Shard{index, count};
  }
  r.warnings = state[3].cast<std::vector<std::string>>();
  const auto simultaneous = state[4].cast<Longs>();
  const auto positions = state[5].cast<Longs>();
  const auto numbers = state[6].cast<Longs>();
  const auto starts = state[7].cast<Doubles>();
  const auto stops = state[8].cast<Doubles>();
  const auto counts = state[9].cast<Longs>();
  const auto refused = state[10].cast<std::vector<std::string>>();
  const auto has_expected = state[11].cast<Bytes>();
  const auto expected = state[12].cast<Doubles>();
  const auto offsets = state[13].cast<Longs>();
  const auto times = state[14].cast<Doubles>();
  const auto acceptor = state[15].cast<Bytes>();
  const auto n = static_cast<std::size_t>(positions.size());
  if (numbers.size() != positions.size() || simultaneous.size() != positions.size() ||
      refused.size() != n || offsets.size() != positions.size() + 1 ||
      counts.size() != 4 * positions.size() || has_expected.size() != positions.size() ||
      expected.size() != 3 * positions.size() || times.size() != acceptor.size()) {
    throw Error(ErrorKind::kInput, "Not the state of burst records.");
  }
  for (std::size_t b = 0; b < n; ++b) {
    BurstRecord record;
    record.position = static_cast<std::size_t>(positions.data()[b]);
    record.window = {numbers.data()[b], starts.data()[b], stops.data()[b]};
    const std::int64_t* c = counts.data() + 4 * b;
    record.counts = {c[0], c[1], c[2]};
    if (c[3] >= 0) record.counts.acceptor_excited = c[3];
    record.refused = refused[b];
    record.simultaneous_photons = static_cast<int>(simultaneous.data()[b]);
    if (has_expected.data()[b] != 0) {
      record.expected_background = BackgroundCounts{
          expected.data()[3 * b], expected.data()[3 * b + 1], expected.data()[3 * b + 2]};
    }
    // The held times again through the rules that made them: the same record.
    BurstPhotons photons;
    const auto from = static_cast<std::size_t>(offsets.data()[b]);
    const auto to = static_cast<std::size_t>(offsets.data()[b + 1]);
    photons.times_us.assign(times.data() + from, times.data() + to);
    photons.acceptor.assign(acceptor.data() + from, acceptor.data() + to);
    if (record.refused.empty()) record.photons = burst_photon_list(photons, silent_observer());
    r.bursts.push_back(std::move(record));
  }
  return r;
}

py::tuple scan(const BurstRecords& records, const ScanRequest& request, int threads,
               py::object progress) {
  const EngineOptions engine = engine_options(threads);
  PythonObserver observer(std::move(progress));
  MeasurementScan result =
      without_gil(observer, [&] { return scan_measurement(records, request, engine, observer); });
  return py::make_tuple(std::move(result), observer.warnings());
}

// Per burst, value and coefficient (bursts x values x D).
template <typename T, typename Cell>
py::array_t<T> cells_of(const MeasurementScan& scan, Cell cell) {
  const auto bursts = static_cast<py::ssize_t>(scan.bursts.size());
  const auto values = static_cast<py::ssize_t>(scan.values());
  const auto runs = static_cast<py::ssize_t>(scan.runs());
  py::array_t<T> out({bursts, values, runs});
  auto at = out.template mutable_unchecked<3>();
  for (py::ssize_t b = 0; b < bursts; ++b) {
    for (py::ssize_t p = 0; p < values; ++p) {
      for (py::ssize_t i = 0; i < runs; ++i) {
        at(b, p, i) =
            cell(scan.bursts[static_cast<std::size_t>(b)], static_cast<std::size_t>(p * runs + i));
      }
    }
  }
  return out;
}

template <typename T, typename Value>
py::array_t<T> per_burst(const MeasurementScan& scan, Value value) {
  py::array_t<T> out(static_cast<py::ssize_t>(scan.bursts.size()));
  T* next = out.mutable_data();
  for (const ScannedBurst& burst : scan.bursts) *next++ = value(burst);
  return out;
}

py::object interval_of(const std::optional<Interval>& interval) {
  if (!interval) return py::none();
  return py::make_tuple(interval->low, interval->high);
}

const char* warning_kind_name(ScanWarningKind kind) {
  switch (kind) {
    case ScanWarningKind::kBurstLeftOut:
      return "burst left out";
    case ScanWarningKind::kBurstsLeftOut:
      return "bursts left out";
    case ScanWarningKind::kBoundaryArtifacts:
      return "boundary artifacts";
    case ScanWarningKind::kCollapsedBursts:
      return "collapsed bursts";
    case ScanWarningKind::kRoundingResidue:
      return "rounding residue";
    case ScanWarningKind::kSimultaneousPhotons:
      return "simultaneous photons";
    case ScanWarningKind::kEstimateAtGridEdge:
      return "estimate at grid edge";
    case ScanWarningKind::kResamplesAtGridEdge:
      return "resamples at grid edge";
  }
  return "";
}

// The advice of Python's warnings names its keywords.
SettingWords python_words() {
  SettingWords words;
  words.distance_range = "[rmin, rmax]";
  words.larger_smallest_d = "a larger smallest D";
  words.coarser_grid = "fewer bins";
  words.wider_d = "widen the range of D";
  words.wider_parameter = "widen the range of the model (model='chain:FROM:TO:COUNT')";
  words.each_burst_left_out = false;
  words.residue_runs = true;
  return words;
}

std::vector<ScanWarning> warnings_of(const MeasurementScan& scan, const JointResult& joint,
                                     const JointEstimate* estimate) {
  const SettingWords words = python_words();
  std::vector<ScanWarning> warnings = left_out_warnings(scan, words);
  for (ScanWarning& warning : result_warnings(scan, joint, estimate, words)) {
    warnings.push_back(std::move(warning));
  }
  return warnings;
}

}  // namespace

void bind_scan(py::module_& module) {
  py::class_<ScanRequest>(module, "ScanRequest")
      .def_property_readonly("D", [](const ScanRequest& r) { return array_of(r.coefficients); })
      .def_property_readonly("model", [](const ScanRequest& r) { return r.model.text; })
      .def_property_readonly("confined", [](const ScanRequest& r) { return r.model.confined(); })
      .def_property_readonly("values", [](const ScanRequest& r) { return r.model.models.size(); })
      .def(py::pickle([](const ScanRequest& r) { return request_text(r); },
                      [](const std::string& text) {
                        return request_from_text(text, "A pickled scan request");
                      }));
  module.def("scan_request", &make_request, py::arg("D"), py::arg("R0"), py::arg("rmin"),
             py::arg("rmax"), py::arg("bins"), py::arg("model"), py::arg("background"),
             py::arg("gamma"), py::arg("leakage"), py::arg("dir_ex"), py::arg("beta"));

  py::class_<BurstRecords>(module, "BurstRecords")
      .def("__len__", [](const BurstRecords& r) { return r.bursts.size(); })
      .def_readonly("warnings", &BurstRecords::warnings)
      .def_property_readonly("from_measurement", &BurstRecords::from_measurement)
      .def(
          "share",
          [](const BurstRecords& r, long long index, long long count) {
            return records_share(r, Shard{index, count});
          },
          py::arg("index"), py::arg("count"))
      .def(py::pickle(&records_state, &records_from_state));
  module.def("measurement_records", &records_of_measurement, py::arg("measurement"),
             py::arg("numbers"), py::arg("starts"), py::arg("stops"), py::arg("request"),
             py::arg("background_window_s"));
  module.def("array_records", &records_of_arrays, py::arg("records"));

  py::class_<MeasurementScan>(module, "MeasurementScan")
      .def_property_readonly(
          "D", [](const MeasurementScan& s) { return array_of(s.setup.request.coefficients); })
      .def_property_readonly("model",
                             [](const MeasurementScan& s) { return s.setup.request.model.text; })
      .def_property_readonly(
          "background", [](const MeasurementScan& s) { return s.setup.request.background->text(); })
      .def_property_readonly("background_rates_hz",
                             [](const MeasurementScan& s) -> py::object {
                               const auto* m = std::get_if<MeasurementSource>(&s.setup.source);
                               if (m == nullptr || !m->background) return py::none();
                               return py::make_tuple(m->background->donor_hz,
                                                     m->background->acceptor_hz);
                             })
      .def_property_readonly(
          "parameter", [](const MeasurementScan& s) { return s.setup.request.model.parameter; })
      .def_property_readonly(
          "parameter_values",
          [](const MeasurementScan& s) { return array_of(s.setup.request.model.parameter_values); })
      .def_property_readonly("burst",
                             [](const MeasurementScan& s) {
                               return per_burst<std::int64_t>(
                                   s, [](const ScannedBurst& b) { return b.window.number; });
                             })
      .def_property_readonly("t_start_s",
                             [](const MeasurementScan& s) {
                               return per_burst<double>(
                                   s, [](const ScannedBurst& b) { return b.window.t_start_s; });
                             })
      .def_property_readonly("t_stop_s",
                             [](const MeasurementScan& s) {
                               return per_burst<double>(
                                   s, [](const ScannedBurst& b) { return b.window.t_stop_s; });
                             })
      .def_property_readonly("photons",
                             [](const MeasurementScan& s) {
                               return per_burst<std::int64_t>(
                                   s, [](const ScannedBurst& b) { return b.photons; });
                             })
      .def_property_readonly("analysed",
                             [](const MeasurementScan& s) {
                               return per_burst<bool>(s, [](const ScannedBurst& b) {
                                 return !b.log_likelihood.empty();
                               });
                             })
      .def_property_readonly("left_out",
                             [](const MeasurementScan& s) {
                               std::vector<std::string> reasons;
                               for (const ScannedBurst& b : s.bursts) reasons.push_back(b.left_out);
                               return reasons;
                             })
      .def_property_readonly("boundary_runs",
                             [](const MeasurementScan& s) {
                               const auto bursts = static_cast<py::ssize_t>(s.bursts.size());
                               const auto values = static_cast<py::ssize_t>(s.values());
                               py::array_t<std::int32_t> out({bursts, values});
                               auto at = out.mutable_unchecked<2>();
                               for (py::ssize_t b = 0; b < bursts; ++b) {
                                 for (py::ssize_t p = 0; p < values; ++p) {
                                   at(b, p) = s.bursts[static_cast<std::size_t>(b)]
                                                  .boundary_runs[static_cast<std::size_t>(p)];
                                 }
                               }
                               return out;
                             })
      .def_property_readonly("log_likelihood",
                             [](const MeasurementScan& s) {
                               return cells_of<double>(s, [](const ScannedBurst& b, std::size_t c) {
                                 return b.log_likelihood.empty()
                                            ? std::numeric_limits<double>::quiet_NaN()
                                            : b.log_likelihood[c];
                               });
                             })
      .def_property_readonly(
          "boundary_photons",
          [](const MeasurementScan& s) {
            return cells_of<std::int32_t>(
                s, [](const ScannedBurst& b, std::size_t c) { return b.boundary_photons[c]; });
          })
      .def_property_readonly("residue_dominates",
                             [](const MeasurementScan& s) {
                               return cells_of<bool>(s, [](const ScannedBurst& b, std::size_t c) {
                                 return b.residue_dominates[c] != 0;
                               });
                             })
      .def_property_readonly("from_measurement",
                             [](const MeasurementScan& s) {
                               return std::holds_alternative<MeasurementSource>(s.setup.source);
                             })
      .def_property_readonly("settings",
                             [](const MeasurementScan& s) { return settings_line(s.setup); })
      .def(
          "share_text",
          [](const MeasurementScan& s, const std::string& command) {
            return share_text(s, provenance_of(command));
          },
          py::arg("command"));
  module.def("scan_measurement", &scan, py::arg("records"), py::arg("request"), py::arg("threads"),
             py::arg("progress"));
  module.def(
      "parse_share",
      [](const std::string& text, const std::string& name) { return parse_share(text, name).scan; },
      py::arg("text"), py::arg("name"));
  module.def(
      "combine_scans",
      [](const std::vector<MeasurementScan>& shares, const std::vector<std::string>& names) {
        return combine_scans(shares, names);
      },
      py::arg("shares"), py::arg("names"));

  py::class_<JointResult>(module, "JointResult")
      .def_readonly("analysed", &JointResult::analysed)
      .def_readonly("shown", &JointResult::shown)
      .def_property_readonly("joint_log_likelihood",
                             [](const JointResult& j) { return array_of(j.joint_log_likelihood); })
      .def_property_readonly("probability",
                             [](const JointResult& j) { return array_of(j.probability); })
      .def_property_readonly("joint_log_likelihood_2d",
                             [](const JointResult& j) -> py::object {
                               if (!j.parameter_scan) return py::none();
                               const ParameterScan& p = *j.parameter_scan;
                               return array_of(p.joint_log_likelihood)
                                   .attr("reshape")(p.values.size(), p.coefficients.size());
                             })
      .def_property_readonly(
          "probability_2d",
          [](const JointResult& j) -> py::object {
            if (!j.parameter_scan) return py::none();
            const ParameterScan& p = *j.parameter_scan;
            return array_of(p.probability).attr("reshape")(p.values.size(), p.coefficients.size());
          })
      .def_property_readonly("probability_parameter", [](const JointResult& j) -> py::object {
        if (!j.parameter_scan) return py::none();
        return array_of(j.parameter_scan->parameter_marginal);
      });
  module.def("joint_result", &joint_result, py::arg("scan"));

  py::class_<AxisEstimate>(module, "AxisEstimate")
      .def_property_readonly("value", [](const AxisEstimate& a) { return a.peak.value; })
      .def_property_readonly("refinement",
                             [](const AxisEstimate& a) { return peak_shape_name(a.peak.shape); })
      .def_property_readonly(
          "at_grid_edge",
          [](const AxisEstimate& a) { return a.peak.shape == PeakShape::kGridEdge; })
      .def_property_readonly("ci68", [](const AxisEstimate& a) { return interval_of(a.ci68); })
      .def_property_readonly("ci95", [](const AxisEstimate& a) { return interval_of(a.ci95); })
      .def_property_readonly("resampled",
                             [](const AxisEstimate& a) { return array_of(a.resampled); })
      .def_readonly("resamples_at_grid_edge", &AxisEstimate::resamples_at_edge);
  py::class_<JointEstimate>(module, "JointEstimate")
      .def_readonly("bursts", &JointEstimate::bursts)
      .def_property_readonly(
          "interval", [](const JointEstimate& e) { return interval_source_name(e.interval); })
      .def_property_readonly("resamples",
                             [](const JointEstimate& e) { return e.bootstrap.resamples; })
      .def_property_readonly("seed", [](const JointEstimate& e) { return e.bootstrap.seed; })
      .def_readonly("coefficient", &JointEstimate::coefficient)
      .def_readonly("parameter", &JointEstimate::parameter);
  module.def(
      "estimate",
      [](const MeasurementScan& scan, int resamples, std::uint64_t seed) {
        if (resamples < 0 || resamples > 1000000) {
          throw Error(ErrorKind::kInput, "bootstrap takes 0 (no interval) to 1000000 resamples.");
        }
        return estimate_coefficient(scan, BootstrapOptions{resamples, seed});
      },
      py::arg("scan"), py::arg("resamples"), py::arg("seed"));

  py::class_<ScanWarning>(module, "ScanWarning")
      .def_property_readonly("kind", [](const ScanWarning& w) { return warning_kind_name(w.kind); })
      .def_readonly("text", &ScanWarning::text)
      .def_readonly("count", &ScanWarning::count)
      .def_readonly("total", &ScanWarning::total)
      .def_readonly("value", &ScanWarning::value);
  module.def(
      "scan_warnings",
      [](const MeasurementScan& scan, const JointResult& joint,
         const std::optional<JointEstimate>& estimate) {
        return warnings_of(scan, joint, estimate ? &*estimate : nullptr);
      },
      py::arg("scan"), py::arg("joint"), py::arg("estimate"));
  module.def(
      "summary_json",
      [](const MeasurementScan& scan, const JointResult& joint, const JointEstimate& estimate,
         const std::string& command) {
        return summary_text(scan, joint, estimate, provenance_of(command));
      },
      py::arg("scan"), py::arg("joint"), py::arg("estimate"), py::arg("call"));
}

}  // namespace pelmora::binding
