// A run state built in-process for engine tests: settings as the command line
// would leave them, a photon list, the distance grid and the FFT workspace,
// with console text captured.
#pragma once

#include <string>
#include <vector>

#include "state/run_state.h"

namespace pelmora::testing {

struct PhotonSpec {
  double time;  // mu s
  int type;     // kDonorPhoton or kAcceptorPhoton
};

class EngineFixture {
 public:
  // distance_bins as -d; range as -min/-max (nm); diffusion coefficient in 1e-14 m^2/s.
  EngineFixture(const std::vector<PhotonSpec>& photons, int distance_bins = 50,
                double min_distance = 0.0, double max_distance = 13.0, double diffusion = 1.0,
                bool scan_mode = false, int time_bins = 0);
  EngineFixture(const EngineFixture&) = delete;
  EngineFixture& operator=(const EngineFixture&) = delete;

  RunState& state() { return state_; }
  // Console text printed since the last call.
  std::string take_console();

 private:
  ConsoleBuffer console_;
  RunState state_;
  std::size_t taken_ = 0;
};

// Photons at the given times, alternating acceptor and donor from an acceptor.
std::vector<PhotonSpec> alternating_photons(const std::vector<double>& times);

}  // namespace pelmora::testing
