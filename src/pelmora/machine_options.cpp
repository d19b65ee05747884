#include "pelmora/machine_options.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "base/error.h"
#include "engine/available_cpus.h"
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
  bool valid = !text.empty();
  for (const char c : text) {
    if (c < '0' || c > '9') {
      valid = false;
      break;
    }
    // Beyond the largest count the exact value no longer matters.
    value = std::min<long long>(value * 10 + (c - '0'), kMaxThreads + 1);
  }
  if (!valid || value < 1) {
    outcome.error = format_text(
        "PELMORA_THREADS must be a whole number of at least 1 (it is '%.40s').", environment_value);
    return outcome;
  }
  outcome.threads = static_cast<int>(std::min<long long>(value, kMaxThreads));
  return outcome;
}

SimdPathOutcome settle_simd_path(const char* environment_value, bool (*available)(SimdPath)) {
  SimdPathOutcome outcome;
  if (environment_value == nullptr) {
    outcome.path = SimdPath::kSse2;
    for (const SimdPath path : {SimdPath::kAvx512, SimdPath::kAvx2}) {
      if (available(path)) {
        outcome.path = path;
        break;
      }
    }
    return outcome;
  }
  const std::optional<SimdPath> path = parse_simd_path(environment_value);
  if (!path) {
    outcome.error = format_text(
        "PELMORA_SIMD must be scalar, sse2, avx2 or avx512 (it is '%.40s').", environment_value);
  } else if (!available(*path)) {
    outcome.error = format_text("PELMORA_SIMD asks for %s, which this processor does not have.",
                                simd_path_name(*path));
  } else {
    outcome.path = *path;
  }
  return outcome;
}

std::size_t row_storage_budget(std::size_t physical_memory) {
  return std::min(physical_memory / 4, std::size_t{4} << 30);
}

EngineOptions engine_options_for_this_machine() {
  EngineOptions engine;
  const ThreadCountOutcome outcome =
      settle_thread_count(std::getenv("PELMORA_THREADS"), static_cast<unsigned>(available_cpus()));
  if (outcome.error) throw Error(ErrorKind::kOption, *outcome.error);
  engine.threads = outcome.threads;
  const SimdPathOutcome simd = settle_simd_path(std::getenv("PELMORA_SIMD"));
  if (simd.error) throw Error(ErrorKind::kOption, *simd.error);
  engine.simd = simd.path;
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages > 0 && page_size > 0) {
    engine.row_storage_budget =
        row_storage_budget(static_cast<std::size_t>(pages) * static_cast<std::size_t>(page_size));
  }
  return engine;
}

}  // namespace pelmora
