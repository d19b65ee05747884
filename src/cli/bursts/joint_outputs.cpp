#include "cli/bursts/joint_outputs.h"

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "bursts/results_file.h"
#include "bursts/summary_file.h"
#include "bursts/table_seconds.h"
#include "cli/file_names.h"
#include "cli/termination_signals.h"
#include "output/likelihood_writer.h"
#include "output/result_file.h"
#include "state/text_format.h"

namespace pelmora::bursts_cli {

JointOutputs joint_outputs(const Arguments& arguments) {
  JointOutputs outputs{arguments.text("--loglik"), arguments.text("--joint"), arguments.text("-o"),
                       arguments.text("--summary")};
  if (!outputs.loglik && !outputs.joint && !outputs.results && !outputs.summary) {
    throw Error(ErrorKind::kOption,
                format_text("pelmora-bursts %s writes nothing without --loglik, "
                            "--joint, -o or --summary.",
                            std::string(arguments.command()).c_str()));
  }
  std::vector<std::string> files;
  for (const auto& name : {outputs.loglik, outputs.joint, outputs.results, outputs.summary}) {
    if (name) files.push_back(*name);
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (std::size_t j = 0; j < files.size(); ++j) {
      if (i < j && same_file(files[i], files[j])) {
        throw Error(ErrorKind::kOption,
                    "Two results would be written to " + files[j] + "; choose a name for each.");
      }
    }
    for (const std::string& input : arguments.names()) {
      if (same_file(files[i], input)) {
        throw Error(ErrorKind::kOption, "Output file " + files[i] + " is the input file " + input +
                                            "; choose another name.");
      }
    }
  }
  return outputs;
}

const std::vector<std::string> kEstimateOptions = {"--bootstrap", "--seed", "--summary"};

BootstrapOptions bootstrap_options(const Arguments& arguments) {
  BootstrapOptions options;
  const long long resamples = arguments.whole("--bootstrap", options.resamples);
  if (resamples < 0 || resamples > 1000000) {
    throw Error(ErrorKind::kOption,
                "Option --bootstrap takes 0 (no interval) to 1000000 resamples.");
  }
  options.resamples = static_cast<int>(resamples);
  const long long seed = arguments.whole("--seed", static_cast<long long>(options.seed));
  if (seed < 0) {
    throw Error(ErrorKind::kOption, "Option --seed takes a whole number >= 0.");
  }
  options.seed = static_cast<std::uint64_t>(seed);
  return options;
}

std::vector<double> joint_log_likelihood(const std::vector<BurstLoglik>& bursts, std::size_t runs) {
  std::vector<double> joint(runs, 0.0);
  for (const BurstLoglik& burst : bursts) {
    if (burst.log_likelihood.empty()) continue;
    for (std::size_t i = 0; i < runs; ++i) joint[i] += burst.log_likelihood[i];
  }
  return joint;
}

namespace {

AnalysedBursts analysed_rows(const std::vector<BurstLoglik>& bursts, std::size_t runs) {
  AnalysedBursts rows;
  rows.cells = runs;
  for (const BurstLoglik& burst : bursts) {
    if (burst.log_likelihood.empty()) continue;
    rows.rows.insert(rows.rows.end(), burst.log_likelihood.begin(), burst.log_likelihood.end());
    ++rows.count;
  }
  return rows;
}

AnalysedBursts parameter_rows(const std::vector<std::vector<double>>& rows, std::size_t cells) {
  AnalysedBursts analysed;
  analysed.cells = cells;
  for (const std::vector<double>& row : rows) {
    if (row.empty()) continue;
    analysed.rows.insert(analysed.rows.end(), row.begin(), row.end());
    ++analysed.count;
  }
  return analysed;
}

// The (parameter, D) cells as CSV, the parameter's values in the outer loop.
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

void print_estimate_warnings(const JointEstimate& estimate, const LikelihoodGrid& grid,
                             Console& console) {
  const AxisEstimate& d = estimate.coefficient;
  if (d.peak.shape == PeakShape::kGridEdge) {
    console.print(
        "WARNING: the joint log L is largest at the %s D of the grid (%g m^2/s), so D "
        "may lie beyond it; widen the range of D (-Dmin, -Dmax).\n",
        d.peak.grid_index == 0 ? "smallest" : "largest",
        grid.coefficients.values[d.peak.grid_index]);
  }
  if (d.resamples_at_edge > 0) {
    console.print(
        "WARNING: %d of %d bootstrap resamples have their maximum at an edge of the "
        "grid of D, so the interval may reach beyond it; widen the range of D (-Dmin, "
        "-Dmax).\n",
        d.resamples_at_edge, estimate.bootstrap.resamples);
  }
}

std::string estimate_line(const JointEstimate& estimate, const std::string& parameter) {
  const AxisEstimate& d = estimate.coefficient;
  std::string line = format_text("D = %.4g m^2/s", d.peak.value);
  switch (estimate.interval) {
    case IntervalSource::kBootstrap:
      line += format_text(
          " (68 %%: %.4g to %.4g; 95 %%: %.4g to %.4g; bootstrap of %zu bursts, "
          "%d resamples, seed %llu).",
          d.ci68->low, d.ci68->high, d.ci95->low, d.ci95->high, estimate.bursts,
          estimate.bootstrap.resamples, static_cast<unsigned long long>(estimate.bootstrap.seed));
      break;
    case IntervalSource::kSingleBurst:
      line += " (a single burst: no bootstrap, no interval).";
      break;
    case IntervalSource::kNotAsked:
      line += " (no interval: --bootstrap 0).";
      break;
  }
  if (estimate.parameter) {
    const AxisEstimate& p = *estimate.parameter;
    line += format_text(" %s = %.4g", parameter.c_str(), p.peak.value);
    if (p.ci95) line += format_text(" (95 %%: %.4g to %.4g).", p.ci95->low, p.ci95->high);
  }
  return line;
}

}  // namespace

void finish_joint_report(const JointReport& report, const JointOutputs& outputs, Console& console,
                         bool quiet) {
  const std::size_t runs = report.coefficients.size();
  int analysed = 0;
  for (std::size_t b = 0; b < report.bursts.size(); ++b) {
    if (!report.bursts[b].log_likelihood.empty()) {
      ++analysed;
      continue;
    }
    const BurstLoglik& burst = report.bursts[b];
    console.print(
        "WARNING: burst %lld (%s to %s s) left out: %s.\n",
        static_cast<long long>(burst.window.number),
        format_table_seconds(burst.window.t_start_s).c_str(),
        format_table_seconds(burst.window.t_stop_s).c_str(),
        report.left_out_reasons[b].empty() ? "no log L" : report.left_out_reasons[b].c_str());
  }
  if (analysed == 0 && !report.share) {
    throw Error(ErrorKind::kComputation,
                format_text("None of the %zu bursts could be analysed; nothing was "
                            "written.",
                            report.bursts.size()));
  }
  const ParameterScan* scanned = report.parameter_scan;
  const std::vector<double> joint = joint_log_likelihood(report.bursts, runs);
  const std::vector<double> probability =
      scanned ? scanned->marginal : normalize_likelihoods(joint);
  LikelihoodGrid grid{GridAxis{"D_m2_per_s", report.coefficients, AxisScale::kLogarithmic},
                      std::nullopt};
  if (scanned) grid.parameter = GridAxis{scanned->parameter, scanned->values, AxisScale::kLinear};
  std::optional<JointEstimate> estimate;
  if (!report.share && analysed > 0) {
    estimate = estimate_joint(scanned ? parameter_rows(report.parameter_rows, grid.cells())
                                      : analysed_rows(report.bursts, runs),
                              grid, report.bootstrap);
  }
  if (scanned && report.grid_csv) {
    const HeldTerminationSignals held;
    ResultFile file(*report.grid_csv, held.stop_request());
    file.text(parameter_grid_text(*scanned));
    file.close();
  }

  if (outputs.loglik) {
    const HeldTerminationSignals held;
    ResultFile file(*outputs.loglik, held.stop_request());
    file.text(loglik_text(report.bursts, report.coefficients, report.share));
    file.close();
  }
  if (outputs.joint) {
    const HeldTerminationSignals held;
    write_likelihood(report.coefficients, probability, *outputs.joint, held.stop_request());
  }
  if (outputs.results) {
    ResultsFileContents contents;
    contents.bursts = report.bursts;
    contents.coefficients = report.coefficients;
    contents.joint_log_likelihood = joint;
    contents.probability = probability;
    contents.integer_columns = report.integer_columns;
    std::vector<std::int64_t> analysed_flags;
    for (const BurstLoglik& burst : report.bursts) {
      analysed_flags.push_back(burst.log_likelihood.empty() ? 0 : 1);
    }
    contents.integer_columns.push_back({"analysed", analysed_flags});
    if (!report.boundary_runs.empty()) {
      contents.integer_columns.push_back(
          {"boundary_runs",
           std::vector<std::int64_t>(report.boundary_runs.begin(), report.boundary_runs.end())});
      contents.column_notes.push_back(
          {"boundary_runs",
           "coefficients at which the burst's distance distribution reached the edges of the "
           "internal grid (possible boundary artifacts)"});
    }
    contents.number_columns = report.number_columns;
    contents.column_notes.push_back(
        {"analysed", "1: in the joint sum; 0: left out (the console named the reason)"});
    contents.text_attributes = report.text_attributes;
    contents.text_attributes.push_back({"program", "pelmora-bursts 1.0"});
    contents.number_attributes = report.number_attributes;
    contents.integer_attributes = report.integer_attributes;
    contents.integer_attributes.push_back({"analysed_bursts", analysed});
    contents.estimate = estimate ? &*estimate : nullptr;
    contents.model = report.model;
    contents.parameter_scan = scanned;
    const HeldTerminationSignals held;
    write_results_file(*outputs.results, contents, held.stop_request());
  }
  if (outputs.summary && estimate) {
    SummaryFacts facts;
    facts.model = report.model;
    facts.bursts_left_out = report.bursts.size() - static_cast<std::size_t>(analysed);
    facts.settings = report.settings_text;
    const HeldTerminationSignals held;
    write_summary_file(*outputs.summary, *estimate, grid, facts, held.stop_request());
  }

  if (quiet) return;
  int with_boundary = 0;
  for (const int count : report.boundary_runs) with_boundary += count > 0 ? 1 : 0;
  if (with_boundary > 0) {
    console.print(
        "WARNING: possible boundary artifacts in %d of %zu bursts (at some of the "
        "coefficients); enlarge [-min,-max].\n",
        with_boundary, report.bursts.size());
  }
  if (report.collapsed_bursts > 0) {
    console.print(
        "WARNING: %d bursts were left out because the smallest D values are too small "
        "for them on this grid; a larger -Dmin (or a coarser -d) keeps them in the joint "
        "sum, which leaving them out biases.\n",
        report.collapsed_bursts);
  }
  if (report.simultaneous_photons > 0) {
    console.print(
        "Note: %d photons arrived at the time of the one before and were moved 0.01 "
        "mu s later, as the photon reader does.\n",
        report.simultaneous_photons);
  }
  if (estimate) print_estimate_warnings(*estimate, grid, console);
  console.print("%d of %zu bursts analysed.", analysed, report.bursts.size());
  if (!report.share && analysed > 0) {
    const std::size_t best = static_cast<std::size_t>(
        std::max_element(probability.begin(), probability.end()) - probability.begin());
    console.print(" Joint P(D) largest at D = %g m^2/s (P = %.3g).", report.coefficients[best],
                  probability[best]);
  }
  console.write("\n");
  if (estimate) {
    console.write(estimate_line(*estimate, scanned ? scanned->parameter : std::string()) + "\n");
  }
}

}  // namespace pelmora::bursts_cli
