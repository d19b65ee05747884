// What scan and combine write, from the scan of a measurement: the per-burst
// log L (loglik.csv, or a share of it), the joint P(D) in the format of
// pelmora's P(D) file, results.h5, summary.json, the (parameter, D) grid,
// and the console's warnings and summary with the estimate of D and its
// bootstrap interval.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/bursts/arguments.h"
#include "cli/console.h"
#include "output/file_clash.h"
#include "pelmora/measurement.h"

namespace pelmora::bursts_cli {

struct JointOutputs {
  std::optional<std::string> loglik;   // --loglik
  std::optional<std::string> joint;    // --joint
  std::optional<std::string> results;  // -o
  std::optional<std::string> summary;  // --summary
  std::optional<std::string> grid;     // --grid
};

// The outputs asked for; at least one of the first four (kOption
// otherwise).
JointOutputs joint_outputs(const Arguments& arguments);

// The outputs with the options that name them, for refuse_file_clashes.
std::vector<OutputFile> output_files(const JointOutputs& outputs);

// --bootstrap B (0 to 1000000, default 1000), --seed N (0 to 2^63 - 1,
// default 1).
BootstrapOptions bootstrap_options(const Arguments& arguments);

// Warns of every burst left out, refuses (kComputation) a scan in which no
// burst was analysed (a share excepted), writes the outputs whole or not at
// all, and prints the warnings, the summary line and the estimate.
// `more_attributes` go into results.h5 after the settings.
void report_scan(const MeasurementScan& scan, const BootstrapOptions& bootstrap,
                 const JointOutputs& outputs, const Provenance& provenance,
                 const std::vector<std::pair<std::string, std::string>>& more_attributes,
                 Console& console);

}  // namespace pelmora::bursts_cli
