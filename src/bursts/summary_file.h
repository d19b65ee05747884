// The estimate of a joint scan as a small JSON file (summary.json), for
// workflows that collect the results of many measurements:
//
//   {
//     "model": "free",
//     "bursts": 269,
//     "bursts_left_out": 0,
//     "D_m2_per_s": 8.13e-15,
//     "ci68_m2_per_s": [7.9e-15, 8.4e-15],
//     "ci95_m2_per_s": [7.6e-15, 8.7e-15],
//     "interval": "bootstrap",
//     "D_refinement": "parabola",
//     "bootstrap": {"resamples": 1000, "seed": 1, "resamples_at_grid_edge": 0},
//     "D_grid_m2_per_s": [...],
//     "joint_log_L": [...],
//     "settings": "...",
//     "pelmora_version": "0.3.0",
//     "command": "pelmora-bursts scan m.h5 --summary summary.json"
//   }
//
// Without an interval ("interval": "single burst" or "not asked") the two
// interval keys are null.  With a model parameter scanned as well, its
// estimate is under "parameter" and joint_log_L is a D x parameter matrix.
// Numbers are written with as many digits as read back the same double.
#pragma once

#include <cstddef>
#include <string>

#include "bursts/d_estimate.h"
#include "output/stop_request.h"

namespace pelmora {

struct SummaryFacts {
  std::string model;  // as the user gave it
  std::size_t bursts_left_out = 0;
  std::string settings;         // the scan's settings line
  std::string pelmora_version;  // the release that wrote the file
  std::string command;          // and the command (or call) that ran
};

std::string summary_text(const JointEstimate& estimate, const LikelihoodGrid& grid,
                         const SummaryFacts& facts);

// Written whole or not at all (ResultFile): kIo "Could not write to file",
// kCancelled when `stop` says so.
void write_summary_file(const std::string& path, const JointEstimate& estimate,
                        const LikelihoodGrid& grid, const SummaryFacts& facts,
                        const StopRequest& stop = {});

}  // namespace pelmora
