#include "base/error.h"
#include "cli/bursts/arguments.h"
#include "cli/bursts/command_table.h"
#include "cli/bursts/commands.h"
#include "cli/bursts/joint_outputs.h"
#include "cli/bursts/measurement_options.h"
#include "cli/bursts/scan_progress.h"
#include "cli/console_frame.h"
#include "pelmora/machine_options.h"

namespace pelmora::bursts_cli {

namespace {

// The option checks of scan that the library cannot make: which options go
// together, and what the files are.
void check_scan_options(const Arguments& arguments, const JointOutputs& outputs,
                        const std::optional<Shard>& shard, bool measurement) {
  if (shard && (outputs.joint || outputs.results || outputs.summary || outputs.grid ||
                arguments.given("--bootstrap") || arguments.given("--seed"))) {
    throw Error(ErrorKind::kOption,
                "A share (--shard) writes its part of --loglik only; combine the "
                "shares with pelmora-bursts combine to get the joint P(D), the estimate of D "
                "(--bootstrap, --seed, --summary) and results.h5.");
  }
  if (shard && !outputs.loglik) {
    throw Error(ErrorKind::kOption, "A share (--shard) needs --loglik SHARE.csv.");
  }
  if (measurement && arguments.names().size() > 1) {
    throw Error(ErrorKind::kOption, "pelmora-bursts scan takes one Photon-HDF5 file.");
  }
  if (!measurement && (arguments.given("--bursts") || arguments.given("--spot") ||
                       arguments.given("--where") || arguments.given("--search"))) {
    throw Error(ErrorKind::kOption,
                "--bursts, --where, --search and the measurement options need a Photon-HDF5 "
                "file.");
  }
  if (measurement && arguments.given("--bursts") && arguments.given("--search")) {
    throw Error(ErrorKind::kOption,
                "--search finds the bursts; with --bursts the table gives them.");
  }
  if (!measurement) {
    for (const std::string& name : arguments.names()) {
      if (is_hdf5_file(name)) {
        throw Error(ErrorKind::kOption,
                    name +
                        " is a Photon-HDF5 file: scan takes one measurement, or photon files "
                        "only.");
      }
    }
  }
}

// What a scan reads: the measurement or the photon files, the burst table
// and the model's potential table.
std::vector<InputFile> scan_inputs(const Arguments& arguments, bool measurement) {
  std::vector<InputFile> inputs;
  for (const std::string& name : arguments.names()) {
    inputs.push_back({name, measurement ? "measurement" : "photon file"});
  }
  if (const std::optional<std::string> table = arguments.text("--bursts")) {
    inputs.push_back({*table, "burst table"});
  }
  if (const std::optional<std::string> model = arguments.text("--model")) {
    if (const std::optional<std::string> file = model_file(*model)) {
      inputs.push_back({*file, "potential table of --model"});
    }
  }
  return inputs;
}

BurstRecords measurement_bursts(const Arguments& arguments, const ScanRequest& request,
                                const std::optional<Shard>& shard, bool quiet, Observer& observer,
                                Console& console) {
  const Measurement m = read_photon_hdf5(arguments.names()[0], measurement_overrides(arguments));
  BurstSelection selection;
  if (const std::optional<std::string> table = arguments.text("--bursts")) {
    selection.table = read_burst_table(*table);
    selection.table_name = *table;
  }
  selection.search = search_options(arguments);
  selection.ranges = burst_ranges(arguments);
  BurstRecords records = measurement_records(m, selection, request, shard, observer);
  for (const std::string& warning : records.warnings) console.write(framed_warning(warning));
  if (records.stoichiometry)
    console.write(framed_warning(stoichiometry_text(*records.stoichiometry)));
  if (!quiet) {
    console.print("%s: %zu donor- and acceptor-channel photons, %zu bursts (%s).\n",
                  m.description.path.c_str(), m.timestamps.size(), records.table_bursts,
                  std::get<MeasurementSource>(records.source).bursts_from.c_str());
  }
  return records;
}

}  // namespace

void run_scan(CommandArguments words, const std::string& command_line, Console& console) {
  const Arguments arguments(*command_entry("scan"), words);
  const JointOutputs outputs = joint_outputs(arguments);
  if (arguments.names().empty()) {
    throw Error(ErrorKind::kOption,
                "pelmora-bursts scan takes a Photon-HDF5 file, or photon files (one "
                "burst each).");
  }
  const bool measurement = is_hdf5_file(arguments.names()[0]);
  refuse_file_clashes(scan_inputs(arguments, measurement), output_files(outputs));
  const std::optional<Shard> shard =
      arguments.given("--shard") ? std::optional<Shard>(parse_shard(*arguments.text("--shard")))
                                 : std::nullopt;
  const ScanRequest request = scan_request(arguments);
  const BootstrapOptions bootstrap = bootstrap_options(arguments);
  const EngineOptions engine = engine_options_for_this_machine();
  const bool quiet = arguments.flag("-q");
  check_scan_options(arguments, outputs, shard, measurement);
  const BackgroundChoice background = resolved_background(request, measurement);
  if (background.mode == BackgroundChoice::Mode::kAuto && !measurement) {
    throw Error(ErrorKind::kOption,
                "--background auto estimates the rates from a Photon-HDF5 "
                "measurement; for photon files give them (--background D_HZ,A_HZ) or off.");
  }
  if (outputs.grid && !request.model.scanned()) {
    throw Error(ErrorKind::kOption,
                "--grid writes the cells of a scanned model parameter "
                "(--model chain:FROM:TO:COUNT).");
  }

  ScanProgress progress(console.stream(), quiet);
  const BurstRecords records =
      measurement ? measurement_bursts(arguments, request, shard, quiet, progress, console)
                  : photon_file_records(arguments.names(), shard, progress);
  if (request.model.confined() && !quiet) {
    console.print("Model %s, background %s.\n", request.model.text.c_str(),
                  background.text().c_str());
  }
  if (background.mode == BackgroundChoice::Mode::kAuto && !quiet) {
    const BackgroundRates& rates = *std::get<MeasurementSource>(records.source).background;
    console.print("Background (auto): donor channel %.4g Hz, acceptor channel %.4g Hz.\n",
                  rates.donor_hz, rates.acceptor_hz);
  }
  progress.start(static_cast<int>(records.bursts.size()));
  const MeasurementScan scan = scan_measurement(records, request, engine, progress);
  progress.finish();
  report_scan(scan, bootstrap, outputs, provenance_of(command_line), {}, console);
}

}  // namespace pelmora::bursts_cli
