// The joint result of a scan of a measurement: the sum of the analysed
// bursts' log L in burst order, P(D), with a scanned model parameter the
// joint over (value, D) and its marginals, and the estimate of D with its
// bootstrap interval.  Computed from the scan's per-burst log L alone, so
// that one scan and the shares of it give the same bits.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "bursts/d_estimate.h"
#include "bursts/measurement_scan.h"
#include "bursts/parameter_scan.h"

namespace pelmora {

struct JointResult {
  std::size_t analysed = 0;  // bursts in the joint sum
  // The model value whose log L the per-burst outputs (loglik.csv, /log_L)
  // hold: the value of the joint maximum; 0 without a scanned parameter.
  std::size_t shown = 0;
  std::vector<double> joint_log_likelihood;  // per coefficient, at the shown value
  std::vector<double> probability;           // P(D); with a scanned parameter its marginal
  std::optional<ParameterScan> parameter_scan;
};

JointResult joint_result(const MeasurementScan& scan);

// The grid of the scan for the estimate: D, and the scanned parameter.
LikelihoodGrid likelihood_grid(const MeasurementScan& scan);

// The estimate of D (and of a scanned parameter) and its bootstrap interval
// from the analysed bursts (estimate_joint).  Refuses (kComputation) a scan
// in which no burst was analysed.
JointEstimate estimate_coefficient(const MeasurementScan& scan, const BootstrapOptions& options);

}  // namespace pelmora
