#include "base/error.h"
#include "bursts/measurement_corrections.h"
#include "cli/bursts/arguments.h"
#include "cli/bursts/command_table.h"
#include "cli/bursts/commands.h"
#include "cli/bursts/measurement_options.h"
#include "cli/console_frame.h"
#include "cli/termination_signals.h"
#include "output/file_clash.h"
#include "state/text_format.h"

namespace pelmora::bursts_cli {

namespace {

[[noreturn]] void refuse(std::string message) {
  throw Error(ErrorKind::kOption, std::move(message));
}

CorrectionEstimateOptions estimate_options(const Arguments& arguments) {
  CorrectionEstimateOptions options;
  options.donor_only_min_s = arguments.real("--donor-only-s", options.donor_only_min_s);
  options.acceptor_only_max_s = arguments.real("--acceptor-only-s", options.acceptor_only_max_s);
  if (!(options.acceptor_only_max_s < options.donor_only_min_s)) {
    refuse("Option --acceptor-only-s must be below --donor-only-s.");
  }
  const long long resamples = arguments.whole("--bootstrap", options.resamples);
  if (resamples < 1 || resamples > 1000000) {
    refuse("Option --bootstrap takes a whole number from 1 to 1000000.");
  }
  options.resamples = static_cast<int>(resamples);
  const long long seed = arguments.whole("--seed", 1);
  if (seed < 0) refuse("Option --seed takes a whole number from 0.");
  options.seed = static_cast<std::uint64_t>(seed);
  options.known_leakage = arguments.real("--leakage", 0);
  if (!(options.known_leakage >= 0 && options.known_leakage < 1)) {
    refuse(format_text("--leakage %g: the leakage must be at least 0 and below 1.",
                       options.known_leakage));
  }
  return options;
}

std::string estimate_line(const char* name, const CoefficientEstimate& c, const char* population) {
  if (!c.value) return format_text("%s: no estimate: %s\n", name, c.reason.c_str());
  std::string line = format_text("%s: %.4g", name, *c.value);
  if (c.ci95) line += format_text(" (95 %% interval %.4g to %.4g)", c.ci95->low, c.ci95->high);
  return line + format_text(" from %zu %s bursts.\n", c.bursts, population);
}

}  // namespace

void run_corrections(CommandArguments words, Console& out, Console& console) {
  const Arguments arguments(*command_entry("corrections"), words);
  if (arguments.names().size() != 1) {
    refuse("pelmora-bursts corrections takes one Photon-HDF5 file.");
  }
  const std::optional<std::string> output = arguments.text("-o");
  std::vector<InputFile> inputs = {{arguments.names()[0], "measurement"}};
  if (const std::optional<std::string> table = arguments.text("--bursts")) {
    inputs.push_back({*table, "burst table"});
  }
  std::vector<OutputFile> outputs;
  if (output) outputs.push_back({*output, "-o"});
  refuse_file_clashes(inputs, outputs);
  const CorrectionEstimateOptions options = estimate_options(arguments);
  BurstSearchOptions search = search_options(arguments);
  std::optional<std::vector<BurstWindow>> table;
  if (const std::optional<std::string> name = arguments.text("--bursts")) {
    table = read_burst_table(*name);
  }
  const Measurement m = read_photon_hdf5(arguments.names()[0], measurement_overrides(arguments));
  const MeasurementCorrections result = estimate_measurement_corrections(
      m, table, arguments.text("--bursts").value_or(""), search, options);
  const CorrectionEstimate& e = result.estimate;
  console.print("%s: %zu bursts.\n", m.description.path.c_str(), result.bursts);
  console.write(
      estimate_line("Leakage", e.leakage,
                    format_text("donor-only (S_raw > %g)", options.donor_only_min_s).c_str()));
  console.write(estimate_line(
      "Direct excitation", e.dir_ex,
      format_text("acceptor-only (S_raw < %g)", options.acceptor_only_max_s).c_str()));
  if (!e.any()) {
    throw Error(ErrorKind::kComputation,
                "Neither the leakage nor the direct excitation could be estimated; nothing was "
                "written.");
  }
  if (output) {
    const HeldTerminationSignals held;
    write_corrections_file(*output, e, result.settings, held.stop_request());
  }
  console.write(
      "Gamma cannot be had from one population: give it as you know it (--gamma).\n"
      "Options for search and scan:\n");
  out.write(e.options_text() + "\n");
}

}  // namespace pelmora::bursts_cli
