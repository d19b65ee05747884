#include "cli/command_line.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/error.h"
#include "cli/run_state.h"
#include "cli/usage.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

enum class ValueKind { kReal, kInteger, kFlag };

struct OptionRule {
  const char* name;
  ValueKind kind;
  double RunSettings::*real_field = nullptr;
  int RunSettings::*integer_field = nullptr;
  bool RunSettings::*flag_field = nullptr;
  bool must_be_positive = false;
  const char* missing_message = nullptr;
  const char* not_positive_message = nullptr;
  const char* description = nullptr;  // names the value in the non-finite error
};

// In matching order; the first exact match wins.
const OptionRule kOptions[] = {
    {"-R", ValueKind::kReal, &RunSettings::foerster_radius, nullptr, nullptr, true,
     "Missing Foerster radius.", "Foerster radius must be > 0.", "Foerster radius"},
    {"-min", ValueKind::kReal, &RunSettings::min_distance, nullptr, nullptr, false,
     "Missing minimum distance.", nullptr, "minimum distance"},
    {"-max", ValueKind::kReal, &RunSettings::max_distance, nullptr, nullptr, false,
     "Missing maximum distance.", nullptr, "maximum distance"},
    {"-t", ValueKind::kInteger, nullptr, &RunSettings::time_bins, nullptr, false,
     "Missing number of time slices.", nullptr, nullptr},
    {"-dt", ValueKind::kReal, &RunSettings::time_increment, nullptr, nullptr, false,
     "Missing time grid resolution.", nullptr, "time grid resolution"},
    {"-d", ValueKind::kInteger, nullptr, &RunSettings::distance_bins, nullptr, false,
     "Missing number of distance bins.", nullptr, nullptr},
    {"-D", ValueKind::kReal, &RunSettings::diff_coeff, nullptr, nullptr, true,
     "Missing diffusion coefficient.", "Diffusion coefficient must be > 0.",
     "diffusion coefficient"},
    {"-Dmin", ValueKind::kReal, &RunSettings::min_coeff, nullptr, nullptr, true,
     "Missing minimum diffusion coefficient.", "Minimum diffusion coefficient must be > 0.",
     "minimum diffusion coefficient"},
    {"-Dmax", ValueKind::kReal, &RunSettings::max_coeff, nullptr, nullptr, true,
     "Missing maximum diffusion coefficient.", "Maximum diffusion coefficient must be > 0.",
     "maximum diffusion coefficient"},
    {"-n", ValueKind::kInteger, nullptr, &RunSettings::runs, nullptr, false,
     "Missing number of runs.", nullptr, nullptr},
    {"-s", ValueKind::kFlag, nullptr, nullptr, &RunSettings::short_format},
    {"-eps", ValueKind::kFlag, nullptr, nullptr, &RunSettings::eps_output},
    {"-xmgr", ValueKind::kFlag, nullptr, nullptr, &RunSettings::xmgr_output},
};

// The arguments of one invocation: the program name plus at most 18.
constexpr std::size_t kMaxArguments = 18;

// Standard decimal conversion: leading blanks skipped, the longest prefix that
// forms a number counts, a text without one gives 0.
double to_real(std::string_view text) {
  const std::string copy(text);
  return std::strtod(copy.c_str(), nullptr);
}

// Integers likewise, with an optional sign and decimal digits only; values
// beyond the 32-bit range are clamped so that the range checks report them.
int to_integer(std::string_view text) {
  const std::string copy(text);
  errno = 0;
  const long value = std::strtol(copy.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

CommandLineError plain_error(std::string message) {
  return {std::move(message), false};
}

const OptionRule* find_option(std::string_view argument) {
  for (const OptionRule& option : kOptions) {
    if (argument == option.name) return &option;
  }
  return nullptr;
}

// Takes one option's value; returns an error when it is missing or refused.
std::optional<CommandLineError> take_option(const OptionRule& option,
                                            std::span<const std::string_view> arguments,
                                            std::size_t& index, RunSettings& settings) {
  if (option.kind == ValueKind::kFlag) {
    settings.*option.flag_field = true;
    return std::nullopt;
  }
  if (index + 1 >= arguments.size()) return plain_error(option.missing_message);
  const std::string_view value_text = arguments[++index];
  if (option.kind == ValueKind::kInteger) {
    settings.*option.integer_field = to_integer(value_text);
    return std::nullopt;
  }
  const double value = to_real(value_text);
  if (option.must_be_positive && !(value > 0)) return plain_error(option.not_positive_message);
  if (!std::isfinite(value)) {
    return plain_error(format_text("Invalid %s '%.*s': not a finite number.", option.description,
                                   static_cast<int>(value_text.size()), value_text.data()));
  }
  settings.*option.real_field = value;
  return std::nullopt;
}

// Puts a positional argument into the first free name slot.
std::optional<CommandLineError> take_positional(std::string_view argument, RunSettings& settings) {
  std::string* slot = nullptr;
  for (std::string* candidate : {&settings.infile, &settings.outfile, &settings.traj_file}) {
    if (!name_given(*candidate)) {
      slot = candidate;
      break;
    }
  }
  if (slot == nullptr) return CommandLineError{"", true};
  if (argument.size() > kMaxFileNameLength) {
    return plain_error(format_text(
        "File name too long (%zu characters; at most %zu are accepted): %.40s...", argument.size(),
        kMaxFileNameLength, std::string(argument.substr(0, 40)).c_str()));
  }
  slot->assign(argument);
  return std::nullopt;
}

std::optional<CommandLineError> scan_arguments(std::span<const std::string_view> arguments,
                                               RunSettings& settings) {
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string_view argument = arguments[index];
    if (const OptionRule* option = find_option(argument)) {
      if (auto error = take_option(*option, arguments, index, settings)) return error;
    } else if (!argument.empty() && argument.front() == '-') {
      return CommandLineError{
          format_text("Illegal option %.*s", static_cast<int>(argument.size()), argument.data()),
          true};
    } else if (auto error = take_positional(argument, settings)) {
      return error;
    }
  }
  return std::nullopt;
}

// Defaults, checks and mode selection, in their fixed order.
std::optional<CommandLineError> settle(RunSettings& s, std::vector<std::string>& warnings,
                                       int fewest_distance_bins) {
  if (s.foerster_radius == 0) s.foerster_radius = 6.5;
  if (s.max_distance == 0) s.max_distance = 2 * s.foerster_radius;
  if (s.distance_bins < fewest_distance_bins) {
    return plain_error(
        format_text("number of distance bins must be > %d.", fewest_distance_bins - 1));
  }
  if (s.distance_bins >= kDistanceBinsLimit) {
    return plain_error(format_text("number of distance bins must be < %d.", kDistanceBinsLimit));
  }
  s.scan_mode = s.diff_coeff == 0;
  if (s.diff_coeff != 0 && (s.min_coeff != 0 || s.max_coeff != 0)) {
    return plain_error("Diffusion coefficient and -range must not be given simultaneously.");
  }
  if (s.diff_coeff == 0 && s.min_coeff == 0 && s.max_coeff == 0 && s.runs == 0) {
    s.scan_mode = false;
    s.diff_coeff = 1.0;
  }
  if (s.scan_mode) {
    if (s.min_coeff == 0) s.min_coeff = 0.01;
    if (s.max_coeff == 0) s.max_coeff = 10.0;
    if (!(s.min_coeff < s.max_coeff)) {
      return plain_error("Maximum diffusion coefficient must be > Minimum diffusion coefficient.");
    }
  } else if (s.eps_output && s.short_format) {
    return plain_error(
        "You cannot want short output format and postscript output at the same "
        "time.");
  }
  if (s.scan_mode) {
    if (s.eps_output) {
      warnings.emplace_back(
          "\n\nWARNING: no postscript output for likelihood scan; -eps flag ignored.\n");
    }
    if (s.short_format) {
      warnings.emplace_back("\n\nWARNING: no short output for likelihood scan; -s flag ignored.\n");
    }
    if (s.xmgr_output) {
      s.xmgr_output = false;
      warnings.emplace_back(
          "\n\nWARNING: no xmgr output for likelihood scan; -xmgr flag ignored.\n");
    }
    if (s.time_bins != 0) {
      warnings.emplace_back("\n\nWARNING: number of grid points for time axis ignored.\n");
    }
    if (s.time_increment != 0)
      warnings.emplace_back("\n\nWARNING: time grid resolution ignored.\n");
    if (s.runs == 0) s.runs = 20;
    if (s.runs < 3) return plain_error("number of runs must be > 2.");
    if (s.runs >= 1000) return plain_error(format_text("number of runs must be < %d.", 1000));
  }
  if (!name_given(s.infile)) return plain_error("No input file given.");
  if (!name_given(s.outfile)) s.outfile = "outfile.dat";
  s.write_trajectory = false;
  if (name_given(s.traj_file)) {
    if (s.scan_mode) {
      warnings.emplace_back(
          "\n\nWARNING: No average trajectory file is written; filename ignored.\n");
    } else {
      s.write_trajectory = true;
    }
  }
  if (s.xmgr_output && !s.write_trajectory) {
    return plain_error("no trajectory output file given.");
  }
  return std::nullopt;
}

// Coefficients from 1e-14 m^2/s to m^2/s.
void convert_units(RunSettings& s) {
  s.diff_coeff *= 1e-14;
  s.min_coeff *= 1e-14;
  s.max_coeff *= 1e-14;
}

AnalysisOptions analysis_options(const RunSettings& s, int fewest_distance_bins) {
  AnalysisOptions options;
  options.fewest_distance_bins = fewest_distance_bins;
  options.foerster_radius = s.foerster_radius;
  options.min_distance = s.min_distance;
  options.max_distance = s.max_distance;
  options.distance_bins = s.distance_bins;
  return options;
}

}  // namespace

CommandLineOutcome interpret_arguments(std::span<const std::string_view> arguments,
                                       int fewest_distance_bins) {
  CommandLineOutcome outcome;
  if (arguments.empty() || arguments.size() > kMaxArguments) {
    outcome.error = CommandLineError{"", true};
    return outcome;
  }
  outcome.error = scan_arguments(arguments, outcome.settings);
  if (!outcome.error) {
    outcome.error = settle(outcome.settings, outcome.warnings, fewest_distance_bins);
  }
  if (outcome.error) return outcome;
  convert_units(outcome.settings);
  // Every option has been checked by now except the width of the range,
  // which only its extension can exceed.
  try {
    outcome.analysis = derive_settings(analysis_options(outcome.settings, fewest_distance_bins));
  } catch (const Error& error) {
    outcome.error = plain_error(error.message());
  }
  return outcome;
}

void parse_command_line(RunState& state, int argc, char** argv) {
  std::vector<std::string_view> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  CommandLineOutcome outcome = interpret_arguments(arguments);
  for (const std::string& warning : outcome.warnings) state.warn(warning);
  if (outcome.error) {
    throw CommandLineRefusal(std::move(*outcome.error));
  }
  state.settings = std::move(outcome.settings);
  state.analysis = outcome.analysis;
}

}  // namespace pelmora
