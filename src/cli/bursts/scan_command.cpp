#include <algorithm>
#include <cmath>
#include <filesystem>

#include "base/error.h"
#include "bursts/background_choice.h"
#include "bursts/parameter_scan.h"
#include "cli/bursts/arguments.h"
#include "cli/bursts/commands.h"
#include "cli/bursts/joint_outputs.h"
#include "cli/bursts/measurement_options.h"
#include "cli/bursts/scan_progress.h"
#include "cli/console_frame.h"
#include "engine/model_grid.h"
#include "input/distance_model_text.h"
#include "pelmora/machine_options.h"
#include "state/text_format.h"

namespace pelmora::bursts_cli {

namespace {

// The bursts to analyse, whichever way they came.
struct Bursts {
  std::vector<BurstWindow> windows;  // in table order
  std::vector<PhotonList> photons;   // of each window
  std::vector<BurstCounts> counts;   // analysed photons and colours (measurement input)
  std::vector<std::string> refused;  // a reason when a burst cannot be held as a record
  std::string input_text;            // what the values were computed from
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<std::pair<std::string, double>> numbers;
  std::vector<std::pair<std::string, std::int64_t>> sizes;
  std::optional<Background> background;  // the measurement's, when estimated
};

// The model and the background of the scan: free and off unless asked for,
// except that a confined model on a measurement takes the background the
// burst search estimates (a confined model is asked for to get D right, and
// a few background photons per burst bias it as much as the confinement).
struct ModelChoice {
  ModelScan model;
  BackgroundChoice background;
  std::string text;  // for the settings line: empty for free and off
};

ModelChoice model_choice(const Arguments& arguments, bool measurement) {
  ModelChoice choice;
  if (const std::optional<std::string> model = arguments.text("--model")) {
    choice.model = parse_model_scan(*model);
  } else {
    choice.model.models.emplace_back();
  }
  if (const std::optional<std::string> background = arguments.text("--background")) {
    choice.background = parse_background_choice(*background);
  } else if (choice.model.models.front().confined() && measurement) {
    choice.background.mode = BackgroundChoice::Mode::kAuto;
  }
  if (choice.background.mode == BackgroundChoice::Mode::kAuto && !measurement) {
    throw Error(ErrorKind::kOption,
                "--background auto estimates the rates from a Photon-HDF5 "
                "measurement; for photon files give them (--background D_HZ,A_HZ) or off.");
  }
  if (choice.model.text != "free") choice.text += " model=" + choice.model.text;
  if (choice.background.mode != BackgroundChoice::Mode::kOff) {
    choice.text += " background=" + choice.background.text();
  }
  return choice;
}

void add_measurement_bursts(const Arguments& arguments, const Shard& shard, Bursts& bursts,
                            Observer& observer, Console& console, bool quiet,
                            bool wants_background) {
  const Measurement m = read_photon_hdf5(arguments.names()[0], measurement_overrides(arguments));
  const BurstList list = burst_list(m, arguments);
  if (list.background) {
    for (const std::string& warning : list.background->warnings)
      console.write(framed_warning(warning));
    bursts.numbers.push_back({"background_all_hz", list.background->whole.all.rate_hz});
    bursts.numbers.push_back({"background_donor_hz", list.background->whole.donor.rate_hz});
    bursts.numbers.push_back({"background_acceptor_hz", list.background->whole.acceptor.rate_hz});
    bursts.background = list.background;
  } else if (wants_background) {
    // Bursts from a table (or a search by rate) still have the background
    // the search would have estimated.
    bursts.background = estimate_background(m, search_options(arguments).background_window_s);
    for (const std::string& warning : bursts.background->warnings)
      console.write(framed_warning(warning));
    bursts.numbers.push_back({"background_all_hz", bursts.background->whole.all.rate_hz});
    bursts.numbers.push_back({"background_donor_hz", bursts.background->whole.donor.rate_hz});
    bursts.numbers.push_back({"background_acceptor_hz", bursts.background->whole.acceptor.rate_hz});
  }
  bursts.input_text = measurement_text(m.description) + " bursts=" + list.source +
                      format_text(" table=%zu:", list.windows.size()) +
                      windows_fingerprint(list.windows);
  bursts.attributes.push_back({"input", m.description.path});
  bursts.attributes.push_back({"measurement", measurement_text(m.description)});
  bursts.attributes.push_back({"bursts_from", list.source});
  bursts.sizes.push_back({"input_size_bytes", static_cast<std::int64_t>(m.description.file_size)});
  if (!quiet) {
    console.print("%s: %zu donor- and acceptor-channel photons, %zu bursts (%s).\n",
                  m.description.path.c_str(), m.timestamps.size(), list.windows.size(),
                  list.source.c_str());
  }
  for (const std::size_t position : shard_positions(list.windows.size(), shard)) {
    const BurstWindow& window = list.windows[position];
    bursts.windows.push_back(window);
    bursts.counts.push_back(list.counts[position]);
    try {
      bursts.photons.push_back(burst_photon_list(m, window, observer));
      bursts.refused.emplace_back();
    } catch (const Error& error) {
      if (error.kind() != ErrorKind::kInput) throw;
      bursts.photons.emplace_back();
      bursts.refused.emplace_back(error.message());
    }
  }
}

// Photon files, each one burst: its window is the span of its photons.
void add_file_bursts(const Arguments& arguments, const Shard& shard, Bursts& bursts,
                     Observer& observer) {
  const std::vector<std::string>& names = arguments.names();
  std::string inputs;
  for (const std::string& name : names) {
    if (is_hdf5_file(name)) {
      throw Error(ErrorKind::kOption,
                  name +
                      " is a Photon-HDF5 file: scan takes one measurement, or photon files "
                      "only.");
    }
    inputs +=
        (inputs.empty() ? "" : ",") + name +
        format_text(":%llu", static_cast<unsigned long long>(std::filesystem::file_size(name)));
  }
  bursts.input_text = "inputs=" + inputs;
  bursts.attributes.push_back({"input", inputs});
  for (const std::size_t position : shard_positions(names.size(), shard)) {
    PhotonList photons = read_photon_file(names[position], observer);
    BurstWindow window;
    window.number = static_cast<std::int64_t>(position);
    if (photons.photon_count > 0) {
      window.t_start_s = photons.start_time * 1e-6;
      window.t_stop_s = photons.end_time * 1e-6;
    }
    BurstCounts counts;
    counts.photons = photons.photon_count;
    counts.donor = photons.donor_count;
    counts.acceptor = photons.acceptor_count;
    bursts.windows.push_back(window);
    bursts.counts.push_back(counts);
    bursts.photons.push_back(std::move(photons));
    bursts.refused.emplace_back();
  }
}

}  // namespace

void run_scan(CommandArguments words, Console& console) {
  OptionSet options;
  options.with_value.insert(kMeasurementOptions.begin(), kMeasurementOptions.end());
  options.with_value.insert(kSearchOptions.begin(), kSearchOptions.end());
  options.with_value.insert(kScanSettingOptions.begin(), kScanSettingOptions.end());
  options.with_value.insert(
      {"--bursts", "--loglik", "--joint", "-o", "--shard", "--model", "--background", "--grid"});
  options.with_value.insert(kEstimateOptions.begin(), kEstimateOptions.end());
  options.flags.insert("-q");
  const Arguments arguments("scan", words, options);
  const JointOutputs outputs = joint_outputs(arguments);
  if (arguments.names().empty()) {
    throw Error(ErrorKind::kOption,
                "pelmora-bursts scan takes a Photon-HDF5 file, or photon files (one "
                "burst each).");
  }
  const std::optional<Shard> shard =
      arguments.given("--shard") ? std::optional<Shard>(parse_shard(*arguments.text("--shard")))
                                 : std::nullopt;
  if (shard && (outputs.joint || outputs.results || outputs.summary ||
                arguments.given("--bootstrap") || arguments.given("--seed"))) {
    throw Error(ErrorKind::kOption,
                "A share (--shard) writes its part of --loglik only; combine the "
                "shares with pelmora-bursts combine to get the joint P(D), the estimate of D "
                "(--bootstrap, --seed, --summary) and results.h5.");
  }
  if (shard && !outputs.loglik) {
    throw Error(ErrorKind::kOption, "A share (--shard) needs --loglik SHARE.csv.");
  }
  const ScanSettings settings = scan_settings(arguments);
  const BootstrapOptions bootstrap = bootstrap_options(arguments);
  const EngineOptions engine = engine_options_for_this_machine();
  const bool quiet = arguments.flag("-q");
  const bool measurement = is_hdf5_file(arguments.names()[0]);
  if (measurement && arguments.names().size() > 1) {
    throw Error(ErrorKind::kOption, "pelmora-bursts scan takes one Photon-HDF5 file.");
  }
  if (!measurement && (arguments.given("--bursts") || arguments.given("--spot"))) {
    throw Error(ErrorKind::kOption,
                "--bursts and the measurement options need a Photon-HDF5 file.");
  }

  const ModelChoice choice = model_choice(arguments, measurement);
  if (choice.model.scanned() && (shard || outputs.loglik)) {
    throw Error(ErrorKind::kOption,
                "A scanned model parameter (" + choice.model.text +
                    ") writes its (parameter, D) grid to -o results.h5 and --grid FILE.csv; "
                    "--loglik and --shard take one model.");
  }
  if (arguments.given("--grid") && !choice.model.scanned()) {
    throw Error(ErrorKind::kOption,
                "--grid writes the cells of a scanned model parameter "
                "(--model chain:FROM:TO:COUNT).");
  }
  const bool auto_background = choice.background.mode == BackgroundChoice::Mode::kAuto;
  int report_simultaneous = 0;
  Bursts bursts;
  ScanProgress progress(console.stream(), 0, quiet);
  const Shard whole;
  if (measurement) {
    add_measurement_bursts(arguments, shard.value_or(whole), bursts, progress, console, quiet,
                           auto_background);
  } else {
    add_file_bursts(arguments, shard.value_or(whole), bursts, progress);
  }
  const std::size_t count = bursts.windows.size();

  std::vector<const PhotonList*> records;
  for (const PhotonList& photons : bursts.photons) records.push_back(&photons);
  std::vector<int> analysed;
  for (const PhotonList& photons : bursts.photons) analysed.push_back(photons.photon_count);
  const std::vector<BackgroundShares> shares =
      burst_background_shares(choice.background, bursts.background ? &*bursts.background : nullptr,
                              bursts.windows, analysed);
  if (choice.model.models.front().confined() && !quiet) {
    console.print("Model %s, background %s.\n", choice.model.text.c_str(),
                  choice.background.text().c_str());
  }
  if (auto_background && !quiet) {
    console.print("Background (auto): donor channel %.4g Hz, acceptor channel %.4g Hz.\n",
                  bursts.background->whole.donor.rate_hz,
                  bursts.background->whole.acceptor.rate_hz);
  }
  // One joint scan per value of a scanned parameter, each on its model's grid.
  std::vector<JointScan> joints;
  for (const DistanceModel& model : choice.model.models) {
    const DistanceGrid grid = make_model_grid(settings.analysis, model);
    ScanProgress scanning(console.stream(), static_cast<int>(count), quiet);
    joints.push_back(scan_bursts(records, settings.coefficients, grid, shares, engine, scanning));
    scanning.finish();
    report_simultaneous = scanning.simultaneous_photons();
  }
  std::optional<ParameterScan> parameter_scan;
  std::size_t shown = 0;  // the value whose per-burst log L the lines hold
  if (choice.model.scanned()) {
    parameter_scan =
        join_parameter_scan(choice.model.parameter, choice.model.parameter_values, joints);
    const std::vector<double>& cells = parameter_scan->probability;
    shown = static_cast<std::size_t>(std::max_element(cells.begin(), cells.end()) - cells.begin()) /
            settings.coefficients.size();
  }
  const JointScan& joint = joints[shown];

  JointReport report;
  report.bootstrap = bootstrap;
  report.coefficients = settings.coefficients;
  report.settings_text = bursts.input_text + " " + settings.text + choice.text;
  report.model = choice.model.text;
  report.text_attributes = bursts.attributes;
  report.text_attributes.push_back({"settings", settings.text + choice.text});
  report.text_attributes.push_back({"model", choice.model.text});
  report.text_attributes.push_back({"background", choice.background.text()});
  report.number_attributes = bursts.numbers;
  report.integer_attributes = bursts.sizes;
  report.number_attributes.push_back({"foerster_radius_nm", settings.analysis.foerster_radius});
  report.number_attributes.push_back({"min_distance_nm", settings.analysis.min_distance});
  report.number_attributes.push_back({"max_distance_nm", settings.analysis.max_distance});
  report.integer_attributes.push_back({"distance_bins", settings.analysis.distance_bins});
  report.number_attributes.push_back({"D_min_m2_per_s", settings.min_coeff});
  report.number_attributes.push_back({"D_max_m2_per_s", settings.max_coeff});
  report.integer_attributes.push_back({"runs", settings.runs});
  std::vector<std::int64_t> donors, acceptors, left_out, boundary_runs;
  std::vector<double> raw_efficiency;
  for (std::size_t b = 0; b < count; ++b) {
    const BurstVerdict& verdict = joint.bursts[b];
    BurstLoglik line;
    line.window = bursts.windows[b];
    line.photons = bursts.photons[b].photon_count;
    std::string reason;
    if (!bursts.refused[b].empty()) {
      reason = bursts.refused[b];
    } else if (parameter_scan && !parameter_scan->analysed[b]) {
      reason = "it could not be analysed at every value of " + parameter_scan->parameter;
    } else if (verdict.left_out != LeftOut::kNo) {
      reason = left_out_reason(verdict.left_out);
      if (verdict.left_out == LeftOut::kCollapsed) ++report.collapsed_bursts;
    } else {
      for (std::size_t i = 0; i < settings.coefficients.size(); ++i) {
        line.log_likelihood.push_back(
            joint.table.at(static_cast<int>(b), static_cast<int>(i)).log_likelihood);
      }
    }
    report.bursts.push_back(std::move(line));
    report.left_out_reasons.push_back(reason);
    report.boundary_runs.push_back(verdict.boundary_runs);
    donors.push_back(bursts.counts[b].donor);
    acceptors.push_back(bursts.counts[b].acceptor);
    raw_efficiency.push_back(bursts.counts[b].raw_efficiency());
  }
  report.integer_columns = {{"donor", donors}, {"acceptor", acceptors}};
  report.number_columns = {{"raw_E", raw_efficiency}};
  if (shard) {
    report.share =
        ShareHeader{*shard, static_cast<std::int64_t>(measurement ? 0 : arguments.names().size()),
                    report.settings_text};
    if (measurement) {
      // The table's size is in the settings text ("table=N:..."); the share
      // line carries it too, for combine's count check.
      const std::size_t at = bursts.input_text.find(" table=");
      report.share->bursts = std::stoll(bursts.input_text.substr(at + 7));
    }
  }
  if (parameter_scan) {
    const std::size_t values = joints.size();
    const std::size_t runs = settings.coefficients.size();
    report.parameter_scan = &*parameter_scan;
    report.grid_csv = arguments.text("--grid");
    report.number_attributes.push_back(
        {"parameter_best_value", choice.model.parameter_values[shown]});
    for (std::size_t b = 0; b < count; ++b) {
      std::vector<double> row;
      if (!report.bursts[b].log_likelihood.empty()) {
        row.resize(runs * values);
        for (std::size_t i = 0; i < runs; ++i) {
          for (std::size_t p = 0; p < values; ++p) {
            row[i * values + p] =
                joints[p].table.at(static_cast<int>(b), static_cast<int>(i)).log_likelihood;
          }
        }
      }
      report.parameter_rows.push_back(std::move(row));
    }
  }
  report.simultaneous_photons = progress.simultaneous_photons() + report_simultaneous;
  finish_joint_report(report, outputs, console, quiet);
}

}  // namespace pelmora::bursts_cli
