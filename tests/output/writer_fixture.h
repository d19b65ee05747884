// Hand-built trajectory-mode run states for the writer tests: the settings
// as the run driver leaves them, a photon list, and grid matrices filled
// from chosen functions instead of the scans.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "state/run_state.h"

namespace pelmora::testing {

struct HandBuiltRun {
  int time_bins = 4;        // n; T = n + 2
  int distance_bins = 50;   // N_b; M = 3 N_b
  double min_distance = 0;  // nm
  double max_distance = 13;
  std::vector<double> photon_times{0, 500, 1000};
  std::vector<int> photon_types{1, 2, 1};
  bool short_format = false;
  bool eps_output = false;
  bool xmgr_output = false;
  // Cell values of grid_forward and grid_backward, (slice, internal point),
  // asked for the interior slices 1..T-2 only.
  std::function<double(int, int)> forward = [](int, int) { return 1.0; };
  std::function<double(int, int)> backward = [](int, int) { return 1.0; };
};

RunState build_state(const HandBuiltRun& run);

// Sends a state's console text to memory, so that tests can compare it.
class CapturedConsole {
 public:
  explicit CapturedConsole(RunState& state) { state.console = buffer_.console(); }
  std::string text() { return buffer_.text(); }

 private:
  ConsoleBuffer buffer_;
};

// A regular expression matching exactly `text` and nothing else, for
// comparing the standard error of a death test byte for byte.
std::string exactly(const std::string& text);

// A writer's announcement followed by the error it throws when its file
// cannot be written.
std::string write_error(const std::string& announcement, const std::string& path);

}  // namespace pelmora::testing
