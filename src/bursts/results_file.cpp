#include "bursts/results_file.h"

#include <cmath>
#include <limits>

#include "base/error.h"
#include "hdf5/file.h"
#include "hdf5/write.h"
#include "output/result_file.h"

namespace pelmora {

namespace {

void write_estimate(const hdf5::File& file, const JointEstimate& e, const std::string& model) {
  const AxisEstimate& d = e.coefficient;
  hdf5::write_number(file, "/estimate/D_m2_per_s", d.peak.value);
  if (d.ci68 && d.ci95) {
    const double ci68[] = {d.ci68->low, d.ci68->high};
    const double ci95[] = {d.ci95->low, d.ci95->high};
    hdf5::write_numbers(file, "/estimate/ci68_m2_per_s", ci68);
    hdf5::write_numbers(file, "/estimate/ci95_m2_per_s", ci95);
    hdf5::write_numbers(file, "/estimate/bootstrap_D_m2_per_s", d.resampled);
  }
  const auto text = [&](const char* name, const std::string& value) {
    hdf5::write_text_attribute(file, "/estimate", name, value,
                               hdf5::StringEncoding::kVariableLength);
  };
  text("model", model);
  text("interval", interval_source_name(e.interval));
  text("D_refinement", peak_shape_name(d.peak.shape));
  hdf5::write_integer_attribute(file, "/estimate", "bursts", static_cast<std::int64_t>(e.bursts));
  hdf5::write_integer_attribute(file, "/estimate", "resamples", e.bootstrap.resamples);
  hdf5::write_integer_attribute(file, "/estimate", "seed",
                                static_cast<std::int64_t>(e.bootstrap.seed));
  hdf5::write_integer_attribute(file, "/estimate", "resamples_at_grid_edge", d.resamples_at_edge);
}

void write_contents(const hdf5::File& file, const ResultsFileContents& c) {
  const hsize_t bursts = c.bursts.size();
  const hsize_t runs = c.coefficients.size();
  hdf5::Compression compression;
  compression.gzip = true;

  hdf5::write_numbers(file, "/D_m2_per_s", c.coefficients);
  std::vector<double> log_l;
  log_l.reserve(bursts * runs);
  for (const BurstLoglik& burst : c.bursts) {
    for (hsize_t i = 0; i < runs; ++i) {
      log_l.push_back(burst.log_likelihood.empty() ? std::numeric_limits<double>::quiet_NaN()
                                                   : burst.log_likelihood[i]);
    }
  }
  hdf5::write_number_matrix(file, "/log_L", bursts, runs, log_l,
                            bursts * runs > 4096 ? compression : hdf5::Compression{});
  hdf5::write_numbers(file, "/joint_log_L", c.joint_log_likelihood);
  hdf5::write_numbers(file, "/P_D", c.probability);

  std::vector<std::int64_t> labels, photons;
  std::vector<double> starts, stops;
  for (const BurstLoglik& burst : c.bursts) {
    labels.push_back(burst.window.number);
    photons.push_back(burst.photons);
    starts.push_back(burst.window.t_start_s);
    stops.push_back(burst.window.t_stop_s);
  }
  hdf5::write_integers(file, "/bursts/burst", labels);
  hdf5::write_numbers(file, "/bursts/t_start_s", starts);
  hdf5::write_numbers(file, "/bursts/t_stop_s", stops);
  hdf5::write_integers(file, "/bursts/photons_analysed", photons);
  for (const auto& [name, values] : c.integer_columns) {
    hdf5::write_integers(file, "/bursts/" + name, values);
  }
  for (const auto& [name, values] : c.number_columns) {
    hdf5::write_numbers(file, "/bursts/" + name, values);
  }
  for (const auto& [column, note] : c.column_notes) {
    hdf5::write_text_attribute(file, "/bursts/" + column, "description", note,
                               hdf5::StringEncoding::kVariableLength);
  }
  for (const auto& [name, text] : c.text_attributes) {
    hdf5::write_text_attribute(file, "/", name, text, hdf5::StringEncoding::kVariableLength);
  }
  for (const auto& [name, value] : c.number_attributes) {
    hdf5::write_number_attribute(file, "/", name, value);
  }
  for (const auto& [name, value] : c.integer_attributes) {
    hdf5::write_integer_attribute(file, "/", name, value);
  }
  if (c.estimate != nullptr) write_estimate(file, *c.estimate, c.model);
  if (c.parameter_scan != nullptr) {
    const ParameterScan& s = *c.parameter_scan;
    const hsize_t values = s.values.size();
    const hsize_t runs = s.coefficients.size();
    hdf5::write_numbers(file, "/parameter_scan/" + s.parameter, s.values);
    hdf5::write_number_matrix(file, "/parameter_scan/joint_log_L", values, runs,
                              s.joint_log_likelihood);
    hdf5::write_number_matrix(file, "/parameter_scan/P", values, runs, s.probability);
    hdf5::write_numbers(file, "/parameter_scan/P_D", s.marginal);
    hdf5::write_numbers(file, "/parameter_scan/P_parameter", s.parameter_marginal);
    hdf5::write_text_attribute(file, "/parameter_scan", "parameter", s.parameter,
                               hdf5::StringEncoding::kVariableLength);
  }
}

}  // namespace

void write_results_file(const std::string& path, const ResultsFileContents& contents,
                        const StopRequest& stop) {
  ResultFile result(path, stop);
  // HDF5 builds the file in memory and the ResultFile writes its bytes:
  // a full disk or a file-size limit then fails an ordinary write, which
  // leaves the earlier file, rather than one of HDF5's, after which HDF5
  // could neither close the file nor shut down cleanly.
  std::string image;
  try {
    hdf5::File file = hdf5::File::create_in_memory(path);
    write_contents(file, contents);
    image = file.image();
    file.close();
  } catch (const Error&) {
    throw Error(ErrorKind::kIo, "Could not write to file " + path);
  }
  result.text(image);
  result.close();
}

}  // namespace pelmora
