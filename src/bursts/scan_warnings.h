// What a scan of a measurement warns of, as values: a kind, its numbers and
// a plain sentence.  The advice names the settings as the caller names them
// (the command line's -Dmin, Python's keywords), so each front end passes
// its own words; the command line frames the sentences, Python issues them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bursts/d_estimate.h"
#include "bursts/joint_result.h"
#include "bursts/measurement_scan.h"

namespace pelmora {

enum class ScanWarningKind {
  kBurstLeftOut,         // one burst not in the joint sum (burst, its window, why)
  kBurstsLeftOut,        // the bursts left out for one reason, listed (count of total)
  kBoundaryArtifacts,    // bursts whose distribution reached the grid's edges (count of total)
  kCollapsedBursts,      // bursts left out for rounding residue (count)
  kRoundingResidue,      // runs in which rounding residue dominates (count)
  kSimultaneousPhotons,  // photons moved apart as simultaneous (count): a note
  kEstimateAtGridEdge,   // the joint maximum at the first or last D (value: that D)
  kResamplesAtGridEdge,  // resamples with their maximum at an edge (count of total)
};

struct ScanWarning {
  ScanWarningKind kind;
  std::string text;  // the plain sentence
  int count = 0;
  int total = 0;
  double value = 0;
  std::int64_t burst = -1;  // kBurstLeftOut: its number
};

// How a caller names the settings that its warnings advise to change.
struct SettingWords {
  std::string distance_range = "[-min,-max]";
  std::string larger_smallest_d = "a larger -Dmin";
  std::string coarser_grid = "a coarser -d";
  std::string wider_d = "widen the range of D (-Dmin, -Dmax)";
  // For a scanned model parameter (rms_nm of chain:FROM:TO:COUNT).
  std::string wider_parameter = "widen the range of the model (--model chain:FROM:TO:COUNT)";
  // One warning per burst left out (the command line), or one per reason
  // listing the bursts (Python).
  bool each_burst_left_out = true;
  // Whether rounding residue in runs of analysed bursts is warned of.
  bool residue_runs = false;
};

// The bursts left out, in burst order (or by reason).
std::vector<ScanWarning> left_out_warnings(const MeasurementScan& scan, const SettingWords& words);

// The rest, in the order the command line prints them: boundary artifacts,
// bursts lost to rounding residue, residue runs, simultaneous photons, and
// with an estimate its maximum or resamples at an edge of the grid of D and
// then, in the same words, of a scanned model parameter.
std::vector<ScanWarning> result_warnings(const MeasurementScan& scan, const JointResult& joint,
                                         const JointEstimate* estimate, const SettingWords& words);

}  // namespace pelmora
