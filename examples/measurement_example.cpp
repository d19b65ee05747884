// The library from C++ for a whole measurement: the bursts of a Photon-HDF5
// file, their joint likelihood of D under a Gaussian chain with the
// background mixed in, and the estimate of D with its bootstrap interval.
// Built as build/measurement_example; run it with a Photon-HDF5 file's name
// (build/simulate_measurement --model chain:6 m.h5 makes one).
#include <cstdio>

#include "pelmora/measurement.h"

int main(int argc, char** argv) try {
  using namespace pelmora;
  const Measurement m = read_photon_hdf5(argc > 1 ? argv[1] : "m.h5");
  AnalysisOptions grid;
  grid.distance_bins = 100;  // the chain's support in 100 cells
  ScanRequest request = request_for_range(derive_settings(grid), {1e-15, 1e-13, 21});  // m^2/s
  request.model = parse_model_scan("chain:6");  // background: auto, as estimated from m
  const BurstRecords bursts = measurement_records(m, {}, request, std::nullopt, silent_observer());
  const MeasurementScan scan = scan_measurement(bursts, request);
  const JointEstimate estimate = estimate_coefficient(scan, {});  // 1000 resamples, seed 1
  const AxisEstimate& d = estimate.coefficient;
  std::printf("%zu bursts: D = %.4g m^2/s", estimate.bursts, d.peak.value);
  if (d.ci95) std::printf(" (95 %%: %.4g to %.4g)", d.ci95->low, d.ci95->high);
  std::printf("\n");
} catch (const pelmora::Error& error) {
  std::fprintf(stderr, "%s\n", error.message().c_str());
  return 1;
}
