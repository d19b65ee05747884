#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "cli/run_settings.h"
#include "state/analysis_settings.h"

namespace pelmora {

struct RunState;

// The longest file name a name slot holds.
inline constexpr std::size_t kMaxFileNameLength = 9999;

struct CommandLineError {
  std::string message;      // the plain sentence; empty when the usage text says it all
  bool show_usage = false;  // the usage text follows the message
};

// A refused command line as thrown to the run driver (kOption): the
// sentence, if any, and then the usage text where it belongs.
class CommandLineRefusal : public Error {
 public:
  explicit CommandLineRefusal(CommandLineError error)
      : Error(ErrorKind::kOption, std::move(error.message),
              error.show_usage ? ErrorLayout::kParagraph : ErrorLayout::kLine),
        show_usage_(error.show_usage) {}
  bool show_usage() const { return show_usage_; }

 private:
  bool show_usage_;
};

// What the argument list amounts to: the settings, the analysis settings
// derived from them, the warnings in the order they are printed, and the
// error that ends the run, if any (it comes after all warnings).
struct CommandLineOutcome {
  RunSettings settings;
  AnalysisSettings analysis;
  std::vector<std::string> warnings;
  std::optional<CommandLineError> error;
};

// Matches the options, fills the name slots, applies the defaults and checks
// in their fixed order, selects the mode, converts the coefficients to m^2/s
// and derives the analysis settings.  `arguments` excludes the program name.
// `fewest_distance_bins`: kMinDistanceBins, or kMinConfinedBins for the
// settings of a confined model (AnalysisOptions).  Pure: prints nothing.
CommandLineOutcome interpret_arguments(std::span<const std::string_view> arguments,
                                       int fewest_distance_bins = kMinDistanceBins);

// Thin layer: prints the warnings (setting warnings_flag); an error is thrown
// as a CommandLineRefusal.
void parse_command_line(RunState& state, int argc, char** argv);

}  // namespace pelmora
