#pragma once

#include <optional>
#include <string>

namespace pelmora {

struct RunState;

// Most worker threads the engine starts, whatever is asked for.
inline constexpr int kMaxThreads = 64;

struct ThreadCountOutcome {
  int threads = 1;
  std::optional<std::string> error;
};

// The number of worker threads: the value of PELMORA_THREADS when it is set
// (a whole number from 1 on; larger than kMaxThreads counts as kMaxThreads),
// else every core the machine reports.  Pure: prints nothing.
ThreadCountOutcome settle_thread_count(const char* environment_value, unsigned cores);

// Thin layer: reads the environment into state.engine.threads; an invalid
// value prints its error and ends the process with status 1.
void choose_thread_count(RunState& state);

}  // namespace pelmora
