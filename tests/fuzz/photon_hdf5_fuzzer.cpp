// libFuzzer target: the Photon-HDF5 reader on files built in memory.
#include <hdf5.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_harness.h"

// Every input builds and opens a file, whose structures (the metadata
// cache's table alone is over 500 kB) HDF5 frees and allocates again; kept
// on HDF5's free lists, they are reused instead of mapped afresh each time.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  H5set_free_list_limits(-1, -1, -1, -1, -1, -1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string findings = pelmora::fuzzing::exercise_photon_hdf5({data, size});
  if (!findings.empty()) {
    std::fprintf(stderr, "broken invariants:\n%s", findings.c_str());
    std::abort();
  }
  return 0;
}
