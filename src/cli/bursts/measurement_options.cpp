#include "cli/bursts/measurement_options.h"

#include <cstdio>
#include <fstream>

#include "base/error.h"
#include "cli/command_line.h"
#include "engine/scan_arithmetic.h"
#include "state/text_format.h"

namespace pelmora::bursts_cli {

namespace {

[[noreturn]] void refuse(std::string message) {
  throw Error(ErrorKind::kOption, std::move(message));
}

}  // namespace

const std::vector<std::string> kMeasurementOptions = {"--spot", "--type", "--alex-period",
                                                      "--alex-offset", "--donor-window"};
const std::vector<std::string> kSearchOptions = {"--m", "--F", "--min-rate", "--min-photons",
                                                 "--bg-window"};
const std::vector<std::string> kScanSettingOptions = {"-R",    "-min",  "-max", "-d",
                                                      "-Dmin", "-Dmax", "-n"};

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
  return options;
}

ScanSettings scan_settings(const Arguments& arguments) {
  std::vector<std::string> words = arguments.pelmora_options(
      std::vector<std::string_view>(kScanSettingOptions.begin(), kScanSettingOptions.end()));
  // Scan mode with pelmora's defaults when no coefficient option is given.
  if (!arguments.given("-Dmin") && !arguments.given("-Dmax") && !arguments.given("-n")) {
    words.insert(words.end(), {"-n", "20"});
  }
  words.emplace_back("photons");
  const std::vector<std::string_view> views(words.begin(), words.end());
  const CommandLineOutcome outcome = interpret_arguments(views);
  if (outcome.error) refuse(outcome.error->message);
  ScanSettings s;
  s.analysis = outcome.analysis;
  s.min_coeff = outcome.settings.min_coeff;
  s.max_coeff = outcome.settings.max_coeff;
  s.runs = outcome.settings.runs;
  s.coefficients = log_spaced_coefficients(s.min_coeff, s.max_coeff, s.runs);
  s.text = format_text("R=%.17g min=%.17g max=%.17g d=%d Dmin=%.17g Dmax=%.17g n=%d",
                       s.analysis.foerster_radius, s.analysis.min_distance, s.analysis.max_distance,
                       s.analysis.distance_bins, s.min_coeff, s.max_coeff, s.runs);
  return s;
}

bool is_hdf5_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  char signature[8] = {};
  file.read(signature, sizeof signature);
  return file.gcount() == 8 &&
         std::string_view(signature, 8) == std::string_view("\x89HDF\r\n\x1a\n", 8);
}

BurstList burst_list(const Measurement& measurement, const Arguments& arguments) {
  BurstList list;
  if (const std::optional<std::string> table = arguments.text("--bursts")) {
    list.windows = read_burst_table(*table);
    list.source = "table " + *table;
    for (const BurstWindow& window : list.windows) {
      list.counts.push_back(count_burst_photons(measurement, window.t_start_s, window.t_stop_s));
    }
    return list;
  }
  const BurstSearchOptions options = search_options(arguments);
  if (!options.min_rate_khz) {
    list.background = estimate_background(measurement, options.background_window_s);
  }
  const BurstSearchResult found =
      search_bursts(measurement, options, list.background ? *list.background : Background{});
  for (const Burst& burst : found.bursts) {
    list.windows.push_back(burst.window);
    list.counts.push_back(burst.counts);
  }
  list.source = options.min_rate_khz
                    ? format_text("search m=%d min-rate=%.17g kHz min-photons=%d", options.m,
                                  *options.min_rate_khz, options.min_photons)
                    : format_text("search m=%d F=%.17g bg-window=%.17g s min-photons=%d", options.m,
                                  options.F, options.background_window_s, options.min_photons);
  return list;
}

std::string windows_fingerprint(const std::vector<BurstWindow>& windows) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  const auto mix = [&hash](const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3u;
  };
  for (const BurstWindow& window : windows) {
    mix(&window.number, sizeof window.number);
    mix(&window.t_start_s, sizeof window.t_start_s);
    mix(&window.t_stop_s, sizeof window.t_stop_s);
  }
  return format_text("%016llx", static_cast<unsigned long long>(hash));
}

std::string measurement_text(const MeasurementDescription& d) {
  std::string text =
      format_text("input=%s size=%llu type=%s", d.path.c_str(),
                  static_cast<unsigned long long>(d.file_size), d.measurement_type.c_str());
  if (d.spot) text += format_text(" spot=%d", *d.spot);
  if (d.alex) {
    text += format_text(
        " alex-period=%lld alex-offset=%lld donor-window=%lld:%lld",
        static_cast<long long>(d.alex->period), static_cast<long long>(d.alex->offset),
        static_cast<long long>(d.alex->donor_start), static_cast<long long>(d.alex->donor_stop));
    for (const auto& [start, stop] : d.alex->nanotime_windows) {
      text += format_text(" nanotimes=%lld:%lld", static_cast<long long>(start),
                          static_cast<long long>(stop));
    }
  }
  return text;
}

}  // namespace pelmora::bursts_cli
