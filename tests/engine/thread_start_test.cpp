#include "engine/thread_start.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/engine_fixture.h"

namespace pelmora::testing {
namespace {

// The address space this process uses now, in bytes.
rlim_t address_space_in_use() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmSize:", 0) == 0)
      return static_cast<rlim_t>(std::stoull(line.substr(7))) << 10;
  }
  return 0;
}

// In the death-test child: caps the address space just above what is in
// use, then analyses; ends with 0 when the rows are `expected`.
[[noreturn]] void analyse_under_cap(const TrajectoryResult& expected) {
  EngineFixture run(alternating_photons({0, 10, 20, 35, 50}), 50, 0, 13, 1.0, 6);
  run.engine.threads = 2;
  const rlim_t cap = address_space_in_use() + (rlim_t{4} << 20);
  const rlimit limit{cap, cap};
  setrlimit(RLIMIT_AS, &limit);
  if (try_start_thread([] {})) std::_Exit(3);  // the cap left room for a thread
  const TrajectoryResult result = run.trajectory();
  bool same = true;
  for (int j = 0; j < result.slice_count; ++j) {
    for (int k = 0; k < result.grid.bins; ++k) {
      same = same && result.forward[j][k] == expected.forward[j][k] &&
             result.backward[j][k] == expected.backward[j][k];
    }
  }
  std::fputs(run.take_console().c_str(), stderr);
  std::_Exit(same ? 0 : 2);
}

// Under an address-space cap that leaves no room for a thread's stack, the
// trajectory analysis runs its passes one after the other with a warning
// instead of ending the process, and its rows are those of one thread.
TEST(ThreadStartDeathTest, RefusedThreadLeavesTheWorkToTheCaller) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit under an address-space cap";
#endif
  EngineFixture alone(alternating_photons({0, 10, 20, 35, 50}), 50, 0, 13, 1.0, 6);
  const TrajectoryResult expected = alone.trajectory();
  EXPECT_EXIT(analyse_under_cap(expected), ::testing::ExitedWithCode(0),
              "WARNING: the system refused 1 of 1 worker threads; the work goes on with fewer");
}

}  // namespace
}  // namespace pelmora::testing
