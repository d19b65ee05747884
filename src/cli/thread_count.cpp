#include "cli/thread_count.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <thread>

#include "state/run_state.h"
#include "state/text_format.h"

namespace pelmora {

ThreadCountOutcome settle_thread_count(const char* environment_value, unsigned cores) {
  ThreadCountOutcome outcome;
  if (environment_value == nullptr) {
    outcome.threads = std::clamp(static_cast<int>(std::min(cores, 1024u)), 1, kMaxThreads);
    return outcome;
  }
  const std::string_view text(environment_value);
  long long value = 0;
  bool valid = !text.empty() && text.size() <= 18;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      valid = false;
      break;
    }
    value = value * 10 + (c - '0');
  }
  if (!valid || value < 1) {
    outcome.error = format_text(
        "\n\nERROR: PELMORA_THREADS must be a whole number of at least 1 (it is '%.40s').\n",
        environment_value);
    return outcome;
  }
  outcome.threads = static_cast<int>(std::min<long long>(value, kMaxThreads));
  return outcome;
}

void choose_thread_count(RunState& state) {
  const ThreadCountOutcome outcome =
      settle_thread_count(std::getenv("PELMORA_THREADS"), std::thread::hardware_concurrency());
  if (outcome.error) {
    state.console.write(*outcome.error);
    std::exit(1);
  }
  state.engine.threads = outcome.threads;
}

}  // namespace pelmora
