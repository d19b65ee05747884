// Engine options that fit the machine a program runs on: as many worker
// threads as this process may use (or PELMORA_THREADS), and row storage from
// the machine's memory.  The command-line programs and the Python package
// start from these.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "state/engine_options.h"

namespace pelmora {

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

// The engine options for this process: threads from PELMORA_THREADS or the
// CPUs it may use, row storage from the machine's memory.  An invalid
// PELMORA_THREADS is thrown as kOption.
EngineOptions engine_options_for_this_machine();

}  // namespace pelmora
