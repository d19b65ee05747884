// The distance distribution over time of one photon record.
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

// A trajectory's arrays, as the result files hold them.
struct TrajectoryArrays {
  double D = 0;
  py::array_t<double> times;      // mu s, where the slices were computed
  py::array_t<double> distances;  // nm
  py::array_t<double> P;          // slices x distances
  py::array_t<double> mean;
  py::array_t<double> sd;
  double t_first = 0;
  double t_last = 0;
  int boundary_slices = 0;
  int slices_without_overlap = 0;
  py::array_t<double> photon_times;
  py::array_t<std::uint8_t> photon_acceptor;
  std::vector<std::string> warnings;
};

TrajectoryArrays trajectory(const Doubles& times_us, const Bytes& acceptor, double diff_coeff,
                            int time_bins, double time_increment, double foerster_radius,
                            double min_distance, std::optional<double> max_distance,
                            int distance_bins, int threads, py::object progress,
                            const std::string& model, const std::string& background, double gamma,
                            double leakage, double dir_ex, double beta,
                            std::optional<double> n_aa) {
  AnalysisOptions grid_options;
  grid_options.foerster_radius = foerster_radius;
  grid_options.min_distance = min_distance;
  grid_options.max_distance = max_distance;
  grid_options.distance_bins = distance_bins;
  const AnalysisSettings settings = derive_settings(grid_options);
  TrajectoryOptions options;
  options.diff_coeff = diff_coeff;
  options.time_bins = time_bins;
  options.time_increment = time_increment;
  options.model = parse_distance_model(model);
  options.background = parse_background_choice(background);
  options.corrections = FretCorrections{gamma, leakage, dir_ex, beta};
  options.n_aa = n_aa;
  options.memory_budget = kResultMemoryBudget;
  const EngineOptions engine = engine_options(threads);
  PythonObserver observer(std::move(progress));
  const PhotonList photons =
      photon_list_from_arrays(span_of(times_us), span_of(acceptor), observer);
  const TrajectoryResult result = without_gil(
      observer, [&] { return analyse_trajectory(photons, settings, options, engine, observer); });
  // The warnings the command line shows after its map.
  for (const Warning& warning : result.warnings) {
    if (warning.kind == WarningKind::kNoOverlap || warning.kind == WarningKind::kBoundarySlices) {
      observer.warnings().push_back(warning.text);
    }
  }

  const WrittenSlices slices(result);
  const WrittenPoints points = slices.points();
  const py::ssize_t rows = slices.count();
  const py::ssize_t columns = points.end - points.first;
  TrajectoryArrays out;
  out.P = py::array_t<double>({rows, columns});
  out.times = py::array_t<double>(rows);
  out.distances = py::array_t<double>(columns);
  out.mean = py::array_t<double>(rows);
  out.sd = py::array_t<double>(rows);
  double* p = out.P.mutable_data();
  double* t = out.times.mutable_data();
  double* r = out.distances.mutable_data();
  double* m = out.mean.mutable_data();
  double* s = out.sd.mutable_data();
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
  for (const std::int8_t type : photons.photon_types) {
    held_acceptor.push_back(type == kAcceptorPhoton);
  }
  out.D = result.diff_coeff;
  out.t_first = result.t_first;
  out.t_last = result.t_last;
  out.boundary_slices = result.boundary_slices;
  out.slices_without_overlap = result.slices_without_overlap;
  out.photon_times = array_of(photons.photon_times);
  out.photon_acceptor = array_of(held_acceptor);
  out.warnings = std::move(observer.warnings());
  return out;
}

}  // namespace

void bind_trajectory(py::module_& module) {
  py::class_<TrajectoryArrays>(module, "TrajectoryArrays")
      .def_readonly("D", &TrajectoryArrays::D)
      .def_readonly("times", &TrajectoryArrays::times)
      .def_readonly("distances", &TrajectoryArrays::distances)
      .def_readonly("P", &TrajectoryArrays::P)
      .def_readonly("mean", &TrajectoryArrays::mean)
      .def_readonly("sd", &TrajectoryArrays::sd)
      .def_readonly("t_first", &TrajectoryArrays::t_first)
      .def_readonly("t_last", &TrajectoryArrays::t_last)
      .def_readonly("boundary_slices", &TrajectoryArrays::boundary_slices)
      .def_readonly("slices_without_overlap", &TrajectoryArrays::slices_without_overlap)
      .def_readonly("photon_times", &TrajectoryArrays::photon_times)
      .def_readonly("photon_acceptor", &TrajectoryArrays::photon_acceptor)
      .def_readonly("warnings", &TrajectoryArrays::warnings);
  module.def("trajectory", &trajectory, py::arg("times_us"), py::arg("is_acceptor"), py::arg("D"),
             py::arg("time_bins"), py::arg("dt"), py::arg("R0"), py::arg("rmin"), py::arg("rmax"),
             py::arg("bins"), py::arg("threads"), py::arg("progress"), py::arg("model"),
             py::arg("background"), py::arg("gamma"), py::arg("leakage"), py::arg("dir_ex"),
             py::arg("beta"), py::arg("n_aa") = py::none());
}

}  // namespace pelmora::binding
