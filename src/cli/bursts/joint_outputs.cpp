#include "cli/bursts/joint_outputs.h"

#include <algorithm>

#include "base/error.h"
#include "cli/console_frame.h"
#include "cli/termination_signals.h"
#include "output/likelihood_writer.h"
#include "output/result_file.h"
#include "state/text_format.h"

namespace pelmora::bursts_cli {

namespace {

void write_text(const std::string& path, const std::string& text) {
  const HeldTerminationSignals held;
  ResultFile file(path, held.stop_request());
  file.text(text);
  file.close();
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

// The console's frame of a scan's warning: a note for what needs no action.
std::string framed(const ScanWarning& warning) {
  switch (warning.kind) {
    case ScanWarningKind::kSimultaneousPhotons:
      return "Note: " + warning.text + "\n";
    case ScanWarningKind::kBurstLeftOut:
    case ScanWarningKind::kBurstsLeftOut:
    case ScanWarningKind::kBoundaryArtifacts:
    case ScanWarningKind::kCollapsedBursts:
    case ScanWarningKind::kRoundingResidue:
    case ScanWarningKind::kEstimateAtGridEdge:
    case ScanWarningKind::kResamplesAtGridEdge:
      break;
  }
  return "WARNING: " + warning.text + "\n";
}

}  // namespace

JointOutputs joint_outputs(const Arguments& arguments) {
  JointOutputs outputs{arguments.text("--loglik"), arguments.text("--joint"), arguments.text("-o"),
                       arguments.text("--summary"), arguments.text("--grid")};
  if (!outputs.loglik && !outputs.joint && !outputs.results && !outputs.summary) {
    throw Error(ErrorKind::kOption,
                format_text("pelmora-bursts %s writes nothing without --loglik, "
                            "--joint, -o or --summary.",
                            std::string(arguments.command()).c_str()));
  }
  return outputs;
}

std::vector<OutputFile> output_files(const JointOutputs& outputs) {
  std::vector<OutputFile> files;
  const std::pair<const std::optional<std::string>*, const char*> named[] = {
      {&outputs.loglik, "--loglik"},
      {&outputs.joint, "--joint"},
      {&outputs.results, "-o"},
      {&outputs.summary, "--summary"},
      {&outputs.grid, "--grid"}};
  for (const auto& [name, option] : named) {
    if (*name) files.push_back({**name, option});
  }
  return files;
}

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

void report_scan(const MeasurementScan& scan, const BootstrapOptions& bootstrap,
                 const JointOutputs& outputs, const Provenance& provenance,
                 const std::vector<std::pair<std::string, std::string>>& more_attributes,
                 Console& console) {
  const SettingWords words;
  for (const ScanWarning& warning : left_out_warnings(scan, words)) {
    console.write(framed(warning));
  }
  if (scan.share_cap) console.write(framed_warning(scan.share_cap->text()));
  const JointResult joint = joint_result(scan);
  if (joint.analysed == 0 && !scan.share) {
    throw Error(ErrorKind::kComputation,
                format_text("None of the %zu bursts could be analysed; nothing was "
                            "written.",
                            scan.bursts.size()));
  }
  std::optional<JointEstimate> estimate;
  if (!scan.share) estimate = estimate_coefficient(scan, bootstrap);
  if (joint.parameter_scan && outputs.grid) {
    write_text(*outputs.grid, parameter_grid_text(*joint.parameter_scan));
  }
  if (outputs.loglik) {
    write_text(*outputs.loglik, scan.share ? share_text(scan, provenance) : loglik_text(scan));
  }
  if (outputs.joint) {
    const HeldTerminationSignals held;
    write_likelihood(scan.setup.request.coefficients, joint.probability, *outputs.joint,
                     held.stop_request());
  }
  if (outputs.results) {
    const HeldTerminationSignals held;
    write_scan_results(*outputs.results, scan, joint, estimate ? &*estimate : nullptr, provenance,
                       more_attributes, held.stop_request());
  }
  if (outputs.summary && estimate) {
    write_text(*outputs.summary, summary_text(scan, joint, *estimate, provenance));
  }

  for (const ScanWarning& warning :
       result_warnings(scan, joint, estimate ? &*estimate : nullptr, words)) {
    console.write(framed(warning));
  }
  console.print("%zu of %zu bursts analysed.", joint.analysed, scan.bursts.size());
  if (estimate) {
    const std::vector<double>& p = joint.probability;
    const std::size_t best =
        static_cast<std::size_t>(std::max_element(p.begin(), p.end()) - p.begin());
    console.print(" Joint P(D) largest at D = %g m^2/s (P = %.3g).",
                  scan.setup.request.coefficients[best], p[best]);
    console.write("\n");
    const std::string parameter = scan.setup.request.model.parameter;
    console.write(estimate_line(*estimate, parameter) + "\n");
  } else {
    console.write("\n");
  }
}

}  // namespace pelmora::bursts_cli
