#pragma once

#include "cli/console.h"
#include "cli/run_settings.h"
#include "state/analysis_settings.h"
#include "state/engine_options.h"

namespace pelmora {

// What the command line keeps for one run: the options as given, the
// analysis settings derived from them, how the engine is to schedule its
// work, and the console with its warnings flag.
struct RunState {
  RunSettings settings;
  AnalysisSettings analysis;
  EngineOptions engine;
  Console console;
  int warnings_flag = 0;  // set by every warning, never cleared

  // Prints a warning and sets warnings_flag.
  void warn(std::string_view text) {
    console.write(text);
    warnings_flag = 1;
  }
};

}  // namespace pelmora
