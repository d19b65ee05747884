// Engine options that fit the machine a program runs on: as many worker
// threads as this process may use (or PELMORA_THREADS), row storage from
// the machine's memory, and the widest instruction set the processor has (or
// PELMORA_SIMD).  The command-line programs and the Python package start
// from these.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "numeric/simd_path.h"
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

struct SimdPathOutcome {
  SimdPath path = SimdPath::kScalar;
  std::optional<std::string> error;
};

// The instruction set of the propagations: the value of PELMORA_SIMD when
// it is set ("scalar", "sse2", "avx2" or "avx512"; refused when this
// processor lacks it), else the widest one `available` says this processor
// has.  Pure: prints nothing.
SimdPathOutcome settle_simd_path(const char* environment_value,
                                 bool (*available)(SimdPath) = simd_path_available);

// Memory the likelihood scan may spend on keeping whole forward passes: a
// quarter of the machine's memory, at most 4 GiB.  Beyond it the runs keep
// checkpoints and recompute, which costs time, not memory.
std::size_t row_storage_budget(std::size_t physical_memory);

// The engine options for this process: threads from PELMORA_THREADS or the
// CPUs it may use, row storage from the machine's memory, the instruction
// set from PELMORA_SIMD or the processor.  An invalid PELMORA_THREADS or
// PELMORA_SIMD is thrown as kOption.
EngineOptions engine_options_for_this_machine();

}  // namespace pelmora
