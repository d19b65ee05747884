// What scan and combine write: the per-burst log L (loglik.csv, or a share
// of it), the joint P(D) in the format of pelmora's P(D) file, results.h5,
// summary.json, and the console's summary of the bursts left out and of the
// result with the estimate of D and its bootstrap interval.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bursts/d_estimate.h"
#include "bursts/loglik_file.h"
#include "bursts/parameter_scan.h"
#include "cli/bursts/arguments.h"
#include "cli/console.h"
#include "pelmora/measurement.h"

namespace pelmora::bursts_cli {

struct JointOutputs {
  std::optional<std::string> loglik;   // --loglik
  std::optional<std::string> joint;    // --joint
  std::optional<std::string> results;  // -o
  std::optional<std::string> summary;  // --summary
};

// The outputs asked for; at least one (kOption otherwise), and no two of
// them (nor an input) the same file.
JointOutputs joint_outputs(const Arguments& arguments);

// The options of the estimate: --bootstrap B (0 to 1000000, default 1000),
// --seed N (0 to 2^63 - 1, default 1), --summary FILE.
extern const std::vector<std::string> kEstimateOptions;
BootstrapOptions bootstrap_options(const Arguments& arguments);

struct JointReport {
  std::vector<double> coefficients;
  std::vector<BurstLoglik> bursts;            // in table order; no log L when left out
  std::vector<std::string> left_out_reasons;  // per burst, empty when analysed
  std::vector<int> boundary_runs;             // per burst, when known
  std::optional<ShareHeader> share;
  std::string settings_text;
  std::vector<std::pair<std::string, std::vector<std::int64_t>>> integer_columns;
  std::vector<std::pair<std::string, std::vector<double>>> number_columns;
  std::vector<std::pair<std::string, std::string>> text_attributes;
  std::vector<std::pair<std::string, double>> number_attributes;
  std::vector<std::pair<std::string, std::int64_t>> integer_attributes;
  int simultaneous_photons = 0;
  int collapsed_bursts = 0;    // left out for a distribution lost to rounding residue
  std::string model = "free";  // of the distance's free energy, as given
  // A model parameter scanned with D: the joint scan over both, and each
  // burst's log L over the (D, parameter) cells, coefficient i and value j at
  // i * values + j (empty when left out).  The bursts' lines above then hold
  // their log L at the parameter value of the joint maximum, and P(D) is the
  // marginal over the values.
  const ParameterScan* parameter_scan = nullptr;
  std::vector<std::vector<double>> parameter_rows;
  std::optional<std::string> grid_csv;  // --grid: the (parameter, D) cells
  BootstrapOptions bootstrap;
};

// The joint log L: the sum over the analysed bursts, in burst order.
std::vector<double> joint_log_likelihood(const std::vector<BurstLoglik>& bursts, std::size_t runs);

// Warns of every burst left out, refuses (kComputation) a run in which no
// burst was analysed (a share excepted), writes the outputs whole or not at
// all, and prints the summary.
void finish_joint_report(const JointReport& report, const JointOutputs& outputs, Console& console,
                         bool quiet);

}  // namespace pelmora::bursts_cli
