#include "bursts/scan_outputs.h"

#include "bursts/results_file.h"
#include "bursts/summary_file.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

std::string coefficient_text(const ScanRequest& request) {
  if (const auto& range = request.coefficient_range) {
    return format_text("Dmin=%.17g Dmax=%.17g n=%d", range->min, range->max, range->runs);
  }
  std::string text = "D=";
  for (std::size_t i = 0; i < request.coefficients.size(); ++i) {
    text += format_text(i == 0 ? "%.17g" : ",%.17g", request.coefficients[i]);
  }
  return text;
}

std::string files_text(const PhotonFileSource& files) {
  std::string text;
  for (std::size_t i = 0; i < files.names.size(); ++i) {
    text += (i == 0 ? "" : ",") + files.names[i] +
            format_text(":%llu", static_cast<unsigned long long>(files.sizes[i]));
  }
  return text;
}

std::string input_text(const BurstSource& source) {
  return std::visit(
      Overloaded{[](const MeasurementSource& m) {
                   return m.description + " bursts=" + m.bursts_from +
                          format_text(" table=%lld:", static_cast<long long>(m.table_bursts)) +
                          m.table_fingerprint;
                 },
                 [](const PhotonFileSource& files) { return "inputs=" + files_text(files); },
                 [](const RecordSource& records) {
                   return format_text("records=%lld", static_cast<long long>(records.records));
                 }},
      source);
}

// The source's attributes: names and sizes of the input, the measurement's
// background rates.
void add_source_attributes(const BurstSource& source, ResultsFileContents& c) {
  std::visit(
      Overloaded{
          [&c](const MeasurementSource& m) {
            c.text_attributes.push_back({"input", m.path});
            c.text_attributes.push_back({"measurement", m.description});
            c.text_attributes.push_back({"bursts_from", m.bursts_from});
            if (m.background) {
              c.number_attributes.push_back({"background_all_hz", m.background->all_hz});
              c.number_attributes.push_back({"background_donor_hz", m.background->donor_hz});
              c.number_attributes.push_back({"background_acceptor_hz", m.background->acceptor_hz});
            }
            c.integer_attributes.push_back(
                {"input_size_bytes", static_cast<std::int64_t>(m.size_bytes)});
          },
          [&c](const PhotonFileSource& files) {
            c.text_attributes.push_back({"input", files_text(files)});
          },
          [&c](const RecordSource& records) {
            c.integer_attributes.push_back({"records", records.records});
          }},
      source);
}

}  // namespace

std::string analysis_line(const ScanRequest& request) {
  const AnalysisSettings& a = request.analysis;
  std::string line = format_text("R=%.17g min=%.17g max=%.17g d=%d ", a.foerster_radius,
                                 a.min_distance, a.max_distance, a.distance_bins) +
                     coefficient_text(request);
  if (request.model.text != "free") line += " model=" + request.model.text;
  if (request.background && request.background->mode != BackgroundChoice::Mode::kOff) {
    line += " background=" + request.background->text();
  }
  const FretCorrections& c = request.corrections;
  if (!c.none()) {
    line += format_text(" gamma=%.17g leakage=%.17g dir_ex=%.17g beta=%.17g", c.gamma, c.leakage,
                        c.dir_ex, c.beta);
  }
  return line;
}

std::string settings_line(const ScanSetup& setup) {
  return input_text(setup.source) + " " + analysis_line(setup.request);
}

std::string parameter_grid_text(const ParameterScan& scan) {
  std::string text = scan.parameter + ",D_m2_per_s,joint_log_L,P\n";
  const std::size_t runs = scan.coefficients.size();
  for (std::size_t p = 0; p < scan.values.size(); ++p) {
    for (std::size_t i = 0; i < runs; ++i) {
      text += format_text("%.17g,%.17g,%.17g,%.17g\n", scan.values[p], scan.coefficients[i],
                          scan.joint_log_likelihood[p * runs + i], scan.probability[p * runs + i]);
    }
  }
  return text;
}

std::string summary_text(const MeasurementScan& scan, const JointResult& joint,
                         const JointEstimate& estimate, const Provenance& provenance) {
  SummaryFacts facts;
  facts.model = scan.setup.request.model.text;
  facts.bursts_left_out = scan.bursts.size() - joint.analysed;
  facts.settings = settings_line(scan.setup);
  facts.pelmora_version = provenance.version;
  facts.command = provenance.command;
  return summary_text(estimate, likelihood_grid(scan), facts);
}

void write_scan_results(const std::string& path, const MeasurementScan& scan,
                        const JointResult& joint, const JointEstimate* estimate,
                        const Provenance& provenance,
                        const std::vector<std::pair<std::string, std::string>>& more,
                        const StopRequest& stop) {
  const ScanRequest& request = scan.setup.request;
  const std::size_t runs = scan.runs();
  std::vector<BurstLoglik> lines;
  std::vector<std::int64_t> donors, acceptors, analysed, boundary_runs;
  std::vector<double> raw_efficiency;
  for (const ScannedBurst& burst : scan.bursts) {
    BurstLoglik line{burst.window, burst.photons, {}};
    if (!burst.log_likelihood.empty()) {
      const auto first =
          burst.log_likelihood.begin() + static_cast<std::ptrdiff_t>(joint.shown * runs);
      line.log_likelihood.assign(first, first + static_cast<std::ptrdiff_t>(runs));
    }
    lines.push_back(std::move(line));
    donors.push_back(burst.counts.donor);
    acceptors.push_back(burst.counts.acceptor);
    raw_efficiency.push_back(burst.counts.raw_efficiency());
    analysed.push_back(burst.log_likelihood.empty() ? 0 : 1);
    boundary_runs.push_back(burst.boundary_runs[joint.shown]);
  }
  ResultsFileContents c;
  c.bursts = lines;
  c.coefficients = request.coefficients;
  c.joint_log_likelihood = joint.joint_log_likelihood;
  c.probability = joint.probability;
  c.integer_columns = {{"n_dd", donors},
                       {"n_da", acceptors},
                       {"analysed", analysed},
                       {"boundary_runs", boundary_runs}};
  c.number_columns = {{"raw_E", raw_efficiency}};
  c.column_notes = {
      {"boundary_runs",
       "coefficients at which the burst's distance distribution reached the edges of the "
       "internal grid "
       "(possible boundary artifacts)"},
      {"analysed", "1: in the joint sum; 0: left out (the console named the reason)"}};
  add_source_attributes(scan.setup.source, c);
  c.text_attributes.push_back({"settings", analysis_line(request)});
  c.text_attributes.push_back({"model", request.model.text});
  c.text_attributes.push_back({"background", request.background->text()});
  c.text_attributes.insert(c.text_attributes.end(), more.begin(), more.end());
  c.text_attributes.push_back({"program", "pelmora-bursts 1.0"});
  c.text_attributes.push_back({"pelmora_version", provenance.version});
  c.text_attributes.push_back({"command", provenance.command});
  c.number_attributes.push_back({"foerster_radius_nm", request.analysis.foerster_radius});
  c.number_attributes.push_back({"min_distance_nm", request.analysis.min_distance});
  c.number_attributes.push_back({"max_distance_nm", request.analysis.max_distance});
  c.integer_attributes.push_back({"distance_bins", request.analysis.distance_bins});
  const CoefficientRange range = request.coefficient_range.value_or(CoefficientRange{
      request.coefficients.front(), request.coefficients.back(), static_cast<int>(runs)});
  c.number_attributes.push_back({"D_min_m2_per_s", range.min});
  c.number_attributes.push_back({"D_max_m2_per_s", range.max});
  c.integer_attributes.push_back({"runs", range.runs});
  const FretCorrections& corrections = request.corrections;
  if (!corrections.none()) {
    c.number_attributes.push_back({"gamma", corrections.gamma});
    c.number_attributes.push_back({"leakage", corrections.leakage});
    c.number_attributes.push_back({"dir_ex", corrections.dir_ex});
    c.number_attributes.push_back({"beta", corrections.beta});
  }
  if (joint.parameter_scan) {
    c.number_attributes.push_back(
        {"parameter_best_value", request.model.parameter_values[joint.shown]});
  }
  c.integer_attributes.push_back({"analysed_bursts", static_cast<std::int64_t>(joint.analysed)});
  c.estimate = estimate;
  c.model = request.model.text;
  c.parameter_scan = joint.parameter_scan ? &*joint.parameter_scan : nullptr;
  write_results_file(path, c, stop);
}

}  // namespace pelmora
