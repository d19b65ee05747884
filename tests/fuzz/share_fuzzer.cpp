// libFuzzer target: a share of a scan, as combine reads it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string findings = pelmora::fuzzing::exercise_share({data, size});
  if (!findings.empty()) {
    std::fprintf(stderr, "broken invariants:\n%s", findings.c_str());
    std::abort();
  }
  return 0;
}
