#include "cli/bursts/measurement_options.h"

#include <cstdio>
#include <fstream>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/regular_file.h"
#include "cli/command_line.h"
#include "engine/corrected_colours.h"
#include "state/text_format.h"

namespace pelmora::bursts_cli {

namespace {

[[noreturn]] void refuse(std::string message) {
  throw Error(ErrorKind::kOption, std::move(message));
}

}  // namespace

MeasurementOverrides measurement_overrides(const Arguments& arguments) {
  MeasurementOverrides overrides;
  if (arguments.given("--spot")) {
    const long long spot = arguments.whole("--spot", 0);
    if (spot < 0 || spot > 1000000) refuse("Option --spot takes a spot number from 0.");
    overrides.spot = static_cast<int>(spot);
  }
  overrides.measurement_type = arguments.text("--type");
  if (arguments.given("--alex-period")) overrides.alex_period = arguments.whole("--alex-period", 0);
  if (arguments.given("--alex-offset")) overrides.alex_offset = arguments.whole("--alex-offset", 0);
  if (const std::optional<std::string> window = arguments.text("--donor-window")) {
    long long start = 0;
    long long stop = 0;
    char end = 0;
    if (std::sscanf(window->c_str(), "%lld:%lld%c", &start, &stop, &end) != 2) {
      refuse(
          format_text("Option --donor-window takes START:STOP in timestamp units "
                      "(it is '%s').",
                      window->c_str()));
    }
    overrides.donor_window = std::pair<std::int64_t, std::int64_t>(start, stop);
  }
  return overrides;
}

BurstSearchOptions search_options(const Arguments& arguments) {
  BurstSearchOptions options;
  const long long m = arguments.whole("--m", options.m);
  const long long min_photons = arguments.whole("--min-photons", options.min_photons);
  if (m < 2 || m > 100000) refuse("Option --m takes a whole number from 2 to 100000.");
  if (min_photons < 1 || min_photons > 1000000000) {
    refuse("Option --min-photons takes a whole number from 1.");
  }
  options.m = static_cast<int>(m);
  options.min_photons = static_cast<int>(min_photons);
  options.F = arguments.real("--F", options.F);
  if (arguments.given("--min-rate")) options.min_rate_khz = arguments.real("--min-rate", 0);
  options.background_window_s = arguments.real("--bg-window", options.background_window_s);
  if (const std::optional<std::string> method = arguments.text("--search")) {
    try {
      options.method = parse_burst_search_method(*method);
    } catch (const Error& error) {
      refuse("Option --search: " + error.message());
    }
  }
  if (arguments.given("--gamma") || arguments.given("--leakage") || arguments.given("--dir-ex") ||
      arguments.given("--beta")) {
    options.corrections = fret_corrections(arguments);
  }
  return options;
}

FretCorrections fret_corrections(const Arguments& arguments) {
  FretCorrections corrections;
  corrections.gamma = arguments.real("--gamma", corrections.gamma);
  corrections.leakage = arguments.real("--leakage", corrections.leakage);
  corrections.dir_ex = arguments.real("--dir-ex", corrections.dir_ex);
  corrections.beta = arguments.real("--beta", corrections.beta);
  try {
    check_fret_corrections(corrections);
  } catch (const Error& error) {
    refuse(error.message());
  }
  return corrections;
}

std::vector<BurstRange> burst_ranges(const Arguments& arguments) {
  std::vector<BurstRange> ranges;
  for (const std::string& text : arguments.all("--where")) {
    try {
      ranges.push_back(parse_burst_range(text));
    } catch (const Error& error) {
      refuse("Option --where: " + error.message());
    }
  }
  return ranges;
}

std::string stoichiometry_text(const StoichiometryWarning& warning) {
  return warning.text("--where S=0.2:0.8");
}

ScanRequest scan_request(const Arguments& arguments) {
  constexpr std::string_view kPelmoraOptions[] = {"-R",    "-min",  "-max", "-d",
                                                  "-Dmin", "-Dmax", "-n"};
  std::vector<std::string> words = arguments.pelmora_options(kPelmoraOptions);
  // Scan mode with pelmora's defaults when no coefficient option is given.
  if (!arguments.given("-Dmin") && !arguments.given("-Dmax") && !arguments.given("-n")) {
    words.insert(words.end(), {"-n", "20"});
  }
  words.emplace_back("photons");
  const std::vector<std::string_view> views(words.begin(), words.end());
  // The model first (read once: pmf:FILE may name a pipe), since a confined
  // model's grid takes fewer distance points.
  std::optional<ModelScan> model;
  if (const std::optional<std::string> text = arguments.text("--model")) {
    model = parse_model_scan(*text);
  }
  const CommandLineOutcome outcome =
      interpret_arguments(views, model && model->confined() ? kMinConfinedBins : kMinDistanceBins);
  if (outcome.error) refuse(outcome.error->message);
  ScanRequest request = request_for_range(
      outcome.analysis,
      {outcome.settings.min_coeff, outcome.settings.max_coeff, outcome.settings.runs});
  if (model) request.model = std::move(*model);
  if (const std::optional<std::string> background = arguments.text("--background")) {
    request.background = parse_background_choice(*background);
  }
  request.corrections = fret_corrections(arguments);
  if (request.model.confined() && (arguments.given("-min") || arguments.given("-max"))) {
    refuse("Options -min and -max set the distance range of free diffusion; the grid of model " +
           request.model.text + " is its own support (-d sets its points).");
  }
  return request;
}

bool is_hdf5_file(const std::string& path) {
  // Not even opened: a pipe would block here until someone wrote into it.
  if (const std::optional<std::string> refusal = not_a_regular_file(path)) {
    throw Error(ErrorKind::kIo, *refusal);
  }
  std::ifstream file(path, std::ios::binary);
  char signature[8] = {};
  file.read(signature, sizeof signature);
  return file.gcount() == 8 &&
         std::string_view(signature, 8) == std::string_view("\x89HDF\r\n\x1a\n", 8);
}

}  // namespace pelmora::bursts_cli
