// The library from C++: P(D) of a photon file over 20 values of D, then the
// distance distribution at the most likely one.  Built as
// build/library_example; run it with a photon file's name.
#include <algorithm>
#include <cstdio>

#include "pelmora/analysis.h"

int main(int argc, char** argv) try {
  using namespace pelmora;
  const PhotonList photons =
      read_photon_file(argc > 1 ? argv[1] : "photons.txt", silent_observer());
  AnalysisOptions options;  // R0 6.5 nm, 0 to 13 nm, 400 points
  options.distance_bins = 200;
  const AnalysisSettings settings = derive_settings(options);
  const std::vector<double> d = log_spaced_coefficients(1e-16, 1e-13, 20);  // m^2/s
  const LikelihoodScanResult scan = scan_likelihood(photons, settings, d);
  const auto best =
      std::max_element(scan.probability.begin(), scan.probability.end()) - scan.probability.begin();
  TrajectoryOptions trajectory;
  trajectory.diff_coeff = d[best];
  const TrajectoryResult map = analyse_trajectory(photons, settings, trajectory);
  const SliceMoments middle = WrittenSlices(map).moments(map.time_bins / 2);
  std::printf("D = %g m^2/s (P = %.3f); mean distance mid-record %.3f nm\n", d[best],
              scan.probability[best], middle.mean);
} catch (const pelmora::Error& error) {
  std::fputs(error.message().c_str(), stderr);
  return 1;
}
