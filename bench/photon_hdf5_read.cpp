// Reads one spot of a Photon-HDF5 file and prints the photon counts and the
// wall time of the read; bench/photon_hdf5_read.sh runs it under
// /usr/bin/time -v for the peak memory.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/error.h"
#include "input/photon_hdf5.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: photon_hdf5_read FILE.h5 [SPOT]\n");
    return 1;
  }
  pelmora::MeasurementOverrides overrides;
  if (argc == 3) overrides.spot = std::atoi(argv[2]);
  try {
    const auto start = std::chrono::steady_clock::now();
    const pelmora::Measurement measurement = pelmora::read_photon_hdf5(argv[1], overrides);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long long all = 0;
    for (const pelmora::DetectorCount& count : measurement.description.detectors)
      all += count.photons;
    std::printf("%s: %lld photons, %zu kept, read in %.3f s (%.1f Mphotons/s)\n", argv[1], all,
                measurement.timestamps.size(), seconds, static_cast<double>(all) / seconds / 1e6);
  } catch (const pelmora::Error& error) {
    std::fputs(error.message().c_str(), stderr);
    return 1;
  }
  return 0;
}
