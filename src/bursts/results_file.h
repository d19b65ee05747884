// The results of a joint scan in one HDF5 file, for h5py, pandas and the
// like:
//
//   /D_m2_per_s          the coefficients (n)
//   /log_L               per burst and coefficient (bursts x n), NaN for a
//                        burst left out of the joint sum
//   /joint_log_L         the sum over the analysed bursts (n)
//   /P_D                 P(D), normalised as the P(D) file is (n)
//   /bursts/<column>     the bursts table, one dataset per column
//   /estimate/           when there is one: D_m2_per_s, ci68_m2_per_s and
//                        ci95_m2_per_s (two values each, when there is an
//                        interval) and the refined maximum of every resample
//                        (bootstrap_D_m2_per_s); attributes model, bursts,
//                        interval, D_refinement, resamples, seed and
//                        resamples_at_grid_edge
//   /parameter_scan/     with a scanned model parameter: its values (named
//                        after it, e.g. rms_nm), joint_log_L and P (values x
//                        n, P normalised over all cells), P_D and
//                        P_parameter (the marginals); /log_L then holds each
//                        burst's log L at the value of the joint maximum
//   attributes of /      every setting, the input's name and size
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "bursts/burst.h"
#include "bursts/d_estimate.h"
#include "bursts/parameter_scan.h"
#include "output/stop_request.h"

namespace pelmora {

// A burst's row of /log_L and its columns of /bursts.
struct BurstLoglik {
  BurstWindow window;
  std::int64_t photons = 0;  // analysed photons
  // Per coefficient; empty when the burst is left out of the joint sum.
  std::vector<double> log_likelihood;
};

struct ResultsFileContents {
  std::span<const BurstLoglik> bursts;
  std::span<const double> coefficients;
  std::span<const double> joint_log_likelihood;
  std::span<const double> probability;
  // Further columns of the bursts table, each with one value per burst.
  std::vector<std::pair<std::string, std::vector<std::int64_t>>> integer_columns;
  std::vector<std::pair<std::string, std::vector<double>>> number_columns;
  // Text attributes of the columns: (column, text), e.g. what codes mean.
  std::vector<std::pair<std::string, std::string>> column_notes;
  // Attributes of the root group.
  std::vector<std::pair<std::string, std::string>> text_attributes;
  std::vector<std::pair<std::string, double>> number_attributes;
  std::vector<std::pair<std::string, std::int64_t>> integer_attributes;
  // The estimate of D and its interval, and the model it assumed.
  const JointEstimate* estimate = nullptr;
  std::string model;
  const ParameterScan* parameter_scan = nullptr;
};

// Writes the file whole or not at all (see ResultFile); throws kIo
// "Could not write to file" naming `path`, or kCancelled when `stop` says so.
void write_results_file(const std::string& path, const ResultsFileContents& contents,
                        const StopRequest& stop = {});

}  // namespace pelmora
