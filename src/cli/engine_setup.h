#pragma once

#include <cstddef>
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
// else `cores`, the CPUs this process may use.  Pure: prints nothing.
ThreadCountOutcome settle_thread_count(const char* environment_value, unsigned cores);

// Memory the likelihood scan may spend on keeping whole forward passes: a
// quarter of the machine's memory, at most 4 GiB.  Beyond it the runs keep
// checkpoints and recompute, which costs time, not memory.
std::size_t row_storage_budget(std::size_t physical_memory);

// Thin layer: sets state.engine from the environment and the machine; an
// invalid PELMORA_THREADS is thrown as kOption.
void configure_engine(RunState& state);

}  // namespace pelmora
