// pelmora._core: the library's public headers (pelmora/analysis.h and
// pelmora/measurement.h) for the pure-Python package around it.  Arrays
// cross as numpy arrays that the Python layer has checked and converted; the
// numbers are the library's, never recomputed here, so that they equal the
// command-line programs' to the bit.
//
// The engine runs with the GIL released.  Its observer takes the GIL back
// only to look for a pending signal (Ctrl-C) and to advance a progress bar;
// a KeyboardInterrupt, or an exception of the progress bar, stops the work,
// and is raised once the engine has joined its threads.  The Photon-HDF5
// reader keeps the GIL: h5py in the same process shares the one libhdf5, and
// the GIL is what keeps the two from running at once.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pelmora/analysis.h"
#include "pelmora/machine_options.h"
#include "pelmora/measurement.h"

namespace py = pybind11;

namespace pelmora {
namespace {

void raise_error(const Error& error) {
  const std::string& text = error.message();
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
  PyErr_SetString(type, text.c_str());
}

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
  void warning(const Warning& warning) override {
    if (count_simultaneous_ && warning.kind == WarningKind::kSimultaneousPhotons) {
      ++simultaneous_;
    } else {
      warnings_.push_back(warning.text);
    }
  }

  bool keep_going() override {
    if (failure_) return false;
    const py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) {
      failure_.emplace();  // takes the KeyboardInterrupt (or a handler's exception)
      return false;
    }
    return true;
  }

  // Simultaneous photons of many records are counted, as the burst program
  // counts them, rather than named one by one.
  void count_simultaneous_photons() { count_simultaneous_ = true; }
  int simultaneous_photons() const { return simultaneous_; }
  std::vector<std::string>& warnings() { return warnings_; }

  // Raises what stopped the work, if anything did.  Called with the GIL.
  void raise_pending() {
    if (!failure_) return;
    py::error_already_set failure = std::move(*failure_);
    failure_.reset();
    throw failure;
  }

 private:
  void advance(int steps) {
    if (progress_.is_none() || steps <= 0 || failure_) return;
    const py::gil_scoped_acquire gil;
    try {
      progress_(steps);
    } catch (py::error_already_set& failure) {
      failure_.emplace(std::move(failure));
    }
  }

  py::object progress_;
  std::optional<py::error_already_set> failure_;
  std::vector<std::string> warnings_;
  bool count_simultaneous_ = false;
  int simultaneous_ = 0;
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
// the caller's thread count when given.
EngineOptions engine_options(int threads) {
  EngineOptions engine = engine_options_for_this_machine();
  if (threads > 0) engine.threads = threads;
  return engine;
}

AnalysisSettings settings_of(double foerster_radius, double min_distance,
                             std::optional<double> max_distance, int distance_bins) {
  AnalysisOptions options;
  options.foerster_radius = foerster_radius;
  options.min_distance = min_distance;
  options.max_distance = max_distance;
  options.distance_bins = distance_bins;
  return derive_settings(options);
}

using Doubles = py::array_t<double, py::array::c_style>;
using Bytes = py::array_t<std::uint8_t, py::array::c_style>;
using Longs = py::array_t<std::int64_t, py::array::c_style>;

template <typename T>
std::span<const T> span_of(const py::array_t<T, py::array::c_style>& array) {
  return {array.data(), static_cast<std::size_t>(array.size())};
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

py::list strings_of(const std::vector<std::string>& texts) {
  py::list list;
  for (const std::string& text : texts) list.append(text);
  return list;
}

// Photon records as the engine takes them; `prefixes` name each record in
// its errors ("burst 12: ").  From the caller's arrays (times in mu s,
// colours 0/1) a record the library refuses is an error.  From a
// measurement's bursts (burst_photon_arrays) a burst that cannot be held as a
// record is left out with the reason, in `refused`, and an empty record, and
// a record of fewer than 3 photons is kept for the scan to leave out: as the
// burst program does.
std::vector<PhotonList> photon_records(const py::list& records, bool from_bursts,
                                       const std::vector<std::string>& prefixes,
                                       std::vector<std::string>& refused,
                                       PythonObserver& observer) {
  std::vector<PhotonList> lists;
  lists.reserve(records.size());
  refused.assign(records.size(), "");
  for (std::size_t i = 0; i < records.size(); ++i) {
    const py::tuple record = records[i].cast<py::tuple>();
    const std::string& prefix = prefixes.at(i);
    const auto times = record[0].cast<Doubles>();
    const auto colours = record[1].cast<Bytes>();
    try {
      if (from_bursts) {
        BurstPhotons photons;
        photons.times_us.assign(times.data(), times.data() + times.size());
        photons.acceptor.assign(colours.data(), colours.data() + colours.size());
        photons.unordered = record[2].cast<bool>();
        lists.push_back(burst_photon_list(photons, observer));
      } else {
        lists.push_back(photon_list_from_arrays(span_of(times), span_of(colours), observer));
      }
    } catch (const Error& error) {
      if (from_bursts && error.kind() == ErrorKind::kInput) {
        refused[i] = error.message();
        lists.emplace_back();
        continue;
      }
      throw Error(error.kind(), prefix + error.message());
    }
  }
  return lists;
}

// The table's cells and the joint result, as arrays.
py::dict joint_dict(const JointScan& joint, std::vector<std::string> warnings) {
  const auto bursts = static_cast<py::ssize_t>(joint.table.records);
  const auto runs = static_cast<py::ssize_t>(joint.table.runs);
  py::array_t<double> log_likelihood({bursts, runs});
  py::array_t<std::int8_t> run_left_out({bursts, runs});
  py::array_t<std::int32_t> boundary_photons({bursts, runs});
  py::array_t<double> most_negative({bursts, runs});
  py::array_t<bool> residue_dominates({bursts, runs});
  for (py::ssize_t b = 0; b < bursts; ++b) {
    for (py::ssize_t i = 0; i < runs; ++i) {
      const CoefficientRun& run = joint.table.at(static_cast<int>(b), static_cast<int>(i));
      log_likelihood.mutable_at(b, i) = run.log_likelihood;
      run_left_out.mutable_at(b, i) = static_cast<std::int8_t>(run.left_out);
      boundary_photons.mutable_at(b, i) = run.boundary_photons;
      most_negative.mutable_at(b, i) = run.most_negative;
      residue_dominates.mutable_at(b, i) = run.residue_dominates;
    }
  }
  std::vector<std::int8_t> left_out;
  std::vector<std::int32_t> photons;
  std::vector<std::int32_t> boundary_runs;
  for (const BurstVerdict& verdict : joint.bursts) {
    left_out.push_back(static_cast<std::int8_t>(verdict.left_out));
    photons.push_back(verdict.photons);
    boundary_runs.push_back(verdict.boundary_runs);
  }
  py::dict result;
  result["D"] = array_of(joint.coefficients);
  result["log_likelihood"] = log_likelihood;
  result["run_left_out"] = run_left_out;
  result["boundary_photons"] = boundary_photons;
  result["most_negative"] = most_negative;
  result["residue_dominates"] = residue_dominates;
  result["left_out"] = array_of(left_out);
  result["photons"] = array_of(photons);
  result["boundary_runs"] = array_of(boundary_runs);
  result["analysed"] = joint.analysed;
  result["joint_log_likelihood"] = array_of(joint.joint_log_likelihood);
  result["probability"] = array_of(joint.probability);
  result["warnings"] = py::cast(std::move(warnings));
  return result;
}

py::dict scan(const py::list& records, bool from_bursts, const std::vector<std::string>& prefixes,
              const Doubles& coefficients, double foerster_radius, double min_distance,
              std::optional<double> max_distance, int distance_bins, int threads,
              py::object progress, const std::string& model_text,
              const std::string& background_text, const Measurement* measurement,
              const Doubles& starts, const Doubles& stops) {
  const AnalysisSettings settings =
      settings_of(foerster_radius, min_distance, max_distance, distance_bins);
  const ModelScan model = parse_model_scan(model_text);
  const BackgroundChoice background = parse_background_choice(background_text);
  if (background.mode == BackgroundChoice::Mode::kAuto && measurement == nullptr) {
    throw Error(ErrorKind::kInput,
                "background='auto' estimates the rates from a measurement: scan "
                "(measurement, bursts), or give the rates as 'D_HZ,A_HZ'.");
  }
  const EngineOptions engine = engine_options(threads);
  PythonObserver observer(std::move(progress));
  observer.count_simultaneous_photons();
  std::vector<std::string> refused;
  const std::vector<PhotonList> lists =
      photon_records(records, from_bursts, prefixes, refused, observer);
  std::vector<const PhotonList*> pointers;
  pointers.reserve(lists.size());
  for (const PhotonList& list : lists) pointers.push_back(&list);
  // The windows the background is counted over: the table's for a
  // measurement, else each record's span, as the burst program takes them.
  std::vector<BurstWindow> windows(lists.size());
  std::vector<int> analysed;
  for (std::size_t b = 0; b < lists.size(); ++b) {
    const auto i = static_cast<py::ssize_t>(b);
    windows[b].t_start_s = measurement != nullptr ? starts.at(i) : lists[b].start_time * 1e-6;
    windows[b].t_stop_s = measurement != nullptr ? stops.at(i) : lists[b].end_time * 1e-6;
    analysed.push_back(lists[b].photon_count);
  }
  std::optional<Background> estimated;
  if (background.mode == BackgroundChoice::Mode::kAuto) {
    estimated = estimate_background(*measurement, BurstSearchOptions{}.background_window_s);
  }
  const std::vector<BackgroundShares> shares =
      burst_background_shares(background, estimated ? &*estimated : nullptr, windows, analysed);
  const std::span<const double> d = span_of(coefficients);
  // One joint scan per value of a scanned parameter, each on its own grid.
  std::vector<JointScan> joints;
  for (const DistanceModel& one : model.models) {
    joints.push_back(without_gil(observer, [&] {
      const DistanceGrid grid = make_model_grid(settings, one);
      return scan_bursts(pointers, d, grid, shares, engine, observer);
    }));
  }
  py::dict result = joint_dict(joints.front(), std::move(observer.warnings()));
  if (model.scanned()) {
    const ParameterScan joint =
        join_parameter_scan(model.parameter, model.parameter_values, joints);
    const auto values = static_cast<py::ssize_t>(joints.size());
    const auto runs = static_cast<py::ssize_t>(d.size());
    const auto bursts = static_cast<py::ssize_t>(lists.size());
    py::array_t<double> log_likelihood({bursts, values, runs});
    auto cells = log_likelihood.mutable_unchecked<3>();
    for (py::ssize_t b = 0; b < bursts; ++b) {
      for (py::ssize_t p = 0; p < values; ++p) {
        for (py::ssize_t i = 0; i < runs; ++i) {
          cells(b, p, i) = joints[static_cast<std::size_t>(p)]
                               .table.at(static_cast<int>(b), static_cast<int>(i))
                               .log_likelihood;
        }
      }
    }
    std::vector<std::int8_t> analysed(joint.analysed.begin(), joint.analysed.end());
    result["parameter"] = joint.parameter;
    result["parameter_values"] = array_of(joint.values);
    result["log_likelihood_2d"] = log_likelihood;
    result["joint_log_likelihood_2d"] =
        array_of(joint.joint_log_likelihood).attr("reshape")(values, runs);
    result["probability_2d"] = array_of(joint.probability).attr("reshape")(values, runs);
    result["probability_d"] = array_of(joint.marginal);
    result["probability_parameter"] = array_of(joint.parameter_marginal);
    result["analysed_at_every_value"] = array_of(analysed);
  }
  result["model"] = model.text;
  result["background"] = background.text();
  if (estimated) {
    result["background_rates_hz"] =
        py::make_tuple(estimated->whole.donor.rate_hz, estimated->whole.acceptor.rate_hz);
  }
  result["refused"] = refused;
  result["simultaneous_photons"] = observer.simultaneous_photons();
  return result;
}

// The joint result of cells scanned elsewhere (the chunks of a Dask scan),
// summed in burst order exactly as the scan sums them.
py::dict join(const Doubles& coefficients, const Doubles& log_likelihood,
              const py::array_t<std::int8_t, py::array::c_style>& run_left_out,
              const py::array_t<std::int32_t, py::array::c_style>& boundary_photons,
              const Doubles& most_negative,
              const py::array_t<bool, py::array::c_style>& residue_dominates,
              const std::vector<int>& photon_counts) {
  LikelihoodTable table;
  table.records = static_cast<int>(photon_counts.size());
  table.runs = static_cast<int>(coefficients.size());
  const std::size_t cells = photon_counts.size() * static_cast<std::size_t>(coefficients.size());
  for (const py::ssize_t size :
       {log_likelihood.size(), run_left_out.size(), boundary_photons.size(), most_negative.size(),
        residue_dominates.size()}) {
    if (static_cast<std::size_t>(size) != cells) {
      throw Error(ErrorKind::kInput, "The cells of the scan do not fill its table.");
    }
  }
  table.cells.resize(cells);
  for (std::size_t c = 0; c < cells; ++c) {
    CoefficientRun& run = table.cells[c];
    run.diff_coeff = coefficients.data()[c % static_cast<std::size_t>(table.runs)];
    run.log_likelihood = log_likelihood.data()[c];
    run.left_out = static_cast<LeftOut>(run_left_out.data()[c]);
    run.boundary_photons = boundary_photons.data()[c];
    run.most_negative = most_negative.data()[c];
    run.residue_dominates = residue_dominates.data()[c];
  }
  const std::span<const double> d = span_of(coefficients);
  return joint_dict(join_bursts({d.begin(), d.end()}, std::move(table), photon_counts), {});
}

py::dict trajectory(const Doubles& times_us, const Bytes& acceptor, double diff_coeff,
                    int time_bins, double time_increment, double foerster_radius,
                    double min_distance, std::optional<double> max_distance, int distance_bins,
                    int threads, py::object progress) {
  const AnalysisSettings settings =
      settings_of(foerster_radius, min_distance, max_distance, distance_bins);
  const EngineOptions engine = engine_options(threads);
  PythonObserver observer(std::move(progress));
  const PhotonList photons =
      photon_list_from_arrays(span_of(times_us), span_of(acceptor), observer);
  TrajectoryOptions options;
  options.diff_coeff = diff_coeff;
  options.time_bins = time_bins;
  options.time_increment = time_increment;
  const TrajectoryResult result = without_gil(
      observer, [&] { return analyse_trajectory(photons, settings, options, engine, observer); });
  // The warnings the command line shows after its map.
  for (const Warning& warning : result.warnings) {
    if (warning.kind == WarningKind::kNoOverlap || warning.kind == WarningKind::kBoundarySlices) {
      observer.warnings().push_back(warning.text);
    }
  }

  const WrittenSlices slices(result);
  const WrittenPoints points = written_points(slices.bins());
  const py::ssize_t rows = slices.count();
  const py::ssize_t columns = points.end - points.first;
  py::array_t<double> probability({rows, columns});
  py::array_t<double> times(rows);
  py::array_t<double> distances(columns);
  py::array_t<double> mean(rows);
  py::array_t<double> deviation(rows);
  double* p = probability.mutable_data();
  double* t = times.mutable_data();
  double* r = distances.mutable_data();
  double* m = mean.mutable_data();
  double* s = deviation.mutable_data();
  {
    const py::gil_scoped_release release;
    for (int j = points.first; j < points.end; ++j) *r++ = slices.position(j);
    for (int i = slices.first(); i <= slices.last(); ++i) {
      *t++ = result.slice_times[static_cast<std::size_t>(i)];
      const SliceMoments moments = slices.moments(i);
      *m++ = moments.mean;
      *s++ = moments.deviation;
      const double z = slices.overlap(i);
      const bool overlapping = has_overlap(z);
      const std::span<const double> forward = slices.forward(i);
      const std::span<const double> backward = slices.backward(i);
      for (int j = points.first; j < points.end; ++j) {
        *p++ = overlapping ? distance_probability(forward[static_cast<std::size_t>(j)],
                                                  backward[static_cast<std::size_t>(j)], z)
                           : 0.0;
      }
    }
  }
  std::vector<std::uint8_t> held_acceptor;
  held_acceptor.reserve(photons.photon_types.size());
  for (const std::int8_t type : photons.photon_types)
    held_acceptor.push_back(type == kAcceptorPhoton);

  py::dict out;
  out["D"] = result.diff_coeff;
  out["times"] = times;
  out["distances"] = distances;
  out["P"] = probability;
  out["mean"] = mean;
  out["sd"] = deviation;
  out["t_first"] = result.t_first;
  out["t_last"] = result.t_last;
  out["boundary_slices"] = result.boundary_slices;
  out["slices_without_overlap"] = result.slices_without_overlap;
  out["photon_times"] = array_of(photons.photon_times);
  out["photon_acceptor"] = array_of(held_acceptor);
  out["warnings"] = py::cast(std::move(observer.warnings()));
  return out;
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
  // With the GIL held: see the top of this file.
  return read_photon_hdf5(path, overrides);
}

py::dict description_dict(const MeasurementDescription& d) {
  py::dict out;
  out["path"] = d.path;
  out["file_size"] = d.file_size;
  out["format_version"] = d.format_version;
  out["measurement_type"] = d.measurement_type;
  out["stored_measurement_type"] = d.stored_measurement_type;
  out["spots"] = d.spots;
  out["spot"] = d.spot;
  out["timestamps_unit"] = d.timestamps_unit;
  out["donor_detectors"] = d.donor_detectors;
  out["acceptor_detectors"] = d.acceptor_detectors;
  if (d.alex) {
    py::dict alex;
    alex["period"] = d.alex->period;
    alex["offset"] = d.alex->offset;
    alex["donor_start"] = d.alex->donor_start;
    alex["donor_stop"] = d.alex->donor_stop;
    alex["nanotime_windows"] = d.alex->nanotime_windows;
    out["alex"] = alex;
  } else {
    out["alex"] = py::none();
  }
  py::list detectors;
  for (const DetectorCount& c : d.detectors) {
    py::dict detector;
    detector["detector"] = c.detector;
    detector["photons"] = c.photons;
    detector["donor_excited"] = c.donor_excited;
    detectors.append(detector);
  }
  out["detectors"] = detectors;
  out["first_timestamp"] = d.first_timestamp;
  out["last_timestamp"] = d.last_timestamp;
  return out;
}

py::dict windows_dict(const std::vector<Burst>& bursts) {
  std::vector<std::int64_t> number, photons, donor, acceptor;
  std::vector<double> start, stop, efficiency;
  for (const Burst& b : bursts) {
    number.push_back(b.window.number);
    start.push_back(b.window.t_start_s);
    stop.push_back(b.window.t_stop_s);
    photons.push_back(b.counts.photons);
    donor.push_back(b.counts.donor);
    acceptor.push_back(b.counts.acceptor);
    efficiency.push_back(b.counts.raw_efficiency());
  }
  py::dict out;
  out["burst"] = array_of(number);
  out["t_start_s"] = array_of(start);
  out["t_stop_s"] = array_of(stop);
  out["photons"] = array_of(photons);
  out["donor"] = array_of(donor);
  out["acceptor"] = array_of(acceptor);
  out["raw_E"] = array_of(efficiency);
  return out;
}

py::dict find_bursts(const Measurement& measurement, int m, double f,
                     std::optional<double> min_rate_khz, int min_photons,
                     double background_window_s) {
  BurstSearchOptions options;
  options.m = m;
  options.F = f;
  options.min_rate_khz = min_rate_khz;
  options.min_photons = min_photons;
  options.background_window_s = background_window_s;
  PythonObserver observer{py::none()};
  const auto found = without_gil(observer, [&] {
    const Background background =
        min_rate_khz ? Background{} : estimate_background(measurement, options.background_window_s);
    return std::make_pair(search_bursts(measurement, options, background), background.warnings);
  });
  py::dict out = windows_dict(found.first.bursts);
  out["too_small"] = found.first.too_small;
  out["threshold_s"] = array_of(found.first.threshold_s);
  out["warnings"] = strings_of(found.second);
  return out;
}

py::dict burst_table(const std::string& path) {
  const std::vector<BurstWindow> windows = read_burst_table(path);
  std::vector<std::int64_t> number;
  std::vector<double> start, stop;
  for (const BurstWindow& w : windows) {
    number.push_back(w.number);
    start.push_back(w.t_start_s);
    stop.push_back(w.t_stop_s);
  }
  py::dict out;
  out["burst"] = array_of(number);
  out["t_start_s"] = array_of(start);
  out["t_stop_s"] = array_of(stop);
  return out;
}

// The analysed photons of each window as burst_photons gives them: times in
// mu s from the burst's first photon, colours, and whether moved photons
// pass their successors.  photon_records turns them into the records the
// burst program analyses.
py::list burst_photon_arrays(const Measurement& measurement, const Doubles& starts,
                             const Doubles& stops) {
  py::list out;
  for (py::ssize_t i = 0; i < starts.size(); ++i) {
    BurstWindow window;
    window.t_start_s = starts.data()[i];
    window.t_stop_s = stops.data()[i];
    const BurstPhotons photons = burst_photons(measurement, window);
    out.append(
        py::make_tuple(array_of(photons.times_us), array_of(photons.acceptor), photons.unordered));
  }
  return out;
}

}  // namespace
}  // namespace pelmora

PYBIND11_MODULE(_core, module) {
  using namespace pelmora;
  module.doc() = "The compiled part of pelmora; use the package pelmora, not this module.";

  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (const Error& error) {
      raise_error(error);
    }
  });

  py::class_<Measurement>(module, "Measurement")
      .def_property_readonly(
          "timestamps",
          [](py::object self) { return view_of(self.cast<const Measurement&>().timestamps, self); })
      .def_property_readonly(
          "flags",
          [](py::object self) { return view_of(self.cast<const Measurement&>().flags, self); })
      .def_property_readonly("description",
                             [](const Measurement& m) { return description_dict(m.description); })
      .def("__len__", [](const Measurement& m) { return m.timestamps.size(); });

  module.def("read_photon_hdf5", &read_measurement, py::arg("path"), py::arg("spot"),
             py::arg("measurement_type"), py::arg("alex_period"), py::arg("alex_offset"),
             py::arg("donor_window"));
  module.def("read_photons", &read_photons, py::arg("path"));
  module.def("search_bursts", &find_bursts, py::arg("measurement"), py::arg("m"), py::arg("F"),
             py::arg("min_rate_khz"), py::arg("min_photons"), py::arg("background_window_s"));
  module.def("read_burst_table", &burst_table, py::arg("path"));
  module.def("burst_photon_arrays", &burst_photon_arrays, py::arg("measurement"), py::arg("starts"),
             py::arg("stops"));
  module.def("scan", &scan, py::arg("records"), py::arg("from_bursts"), py::arg("prefixes"),
             py::arg("D"), py::arg("R0"), py::arg("rmin"), py::arg("rmax"), py::arg("bins"),
             py::arg("threads"), py::arg("progress"), py::arg("model") = "free",
             py::arg("background") = "off", py::arg("measurement") = py::none(),
             py::arg("starts") = Doubles(), py::arg("stops") = Doubles());
  module.def("join", &join, py::arg("D"), py::arg("log_likelihood"), py::arg("run_left_out"),
             py::arg("boundary_photons"), py::arg("most_negative"), py::arg("residue_dominates"),
             py::arg("photon_counts"));
  module.def("trajectory", &trajectory, py::arg("times_us"), py::arg("is_acceptor"), py::arg("D"),
             py::arg("time_bins"), py::arg("dt"), py::arg("R0"), py::arg("rmin"), py::arg("rmax"),
             py::arg("bins"), py::arg("threads"), py::arg("progress"));
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
  module.attr("LEFT_OUT_COLLAPSED") = static_cast<int>(LeftOut::kCollapsed);
  module.def("left_out_reason",
             [](int code) { return left_out_reason(static_cast<LeftOut>(code)); });
  module.def("default_threads", [] { return engine_options(0).threads; });
}
