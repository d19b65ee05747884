// The files of a scan of a measurement, from the scan alone: its settings as
// one line, results.h5, summary.json, joint.dat and the (parameter, D) grid.
// loglik.csv is loglik_file.h's, a share's file share_file.h's.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "bursts/d_estimate.h"
#include "bursts/joint_result.h"
#include "bursts/measurement_scan.h"
#include "bursts/provenance.h"
#include "output/stop_request.h"

namespace pelmora {

// "R=6.5 min=0 max=13 d=400 Dmin=1e-16 Dmax=1e-13 n=20", each number exact,
// then " model=..." and " background=..." unless free and off (and the
// corrections, unless none).  Coefficients not given as a range are listed
// ("D=1e-16,2e-16,...").
std::string analysis_line(const ScanRequest& request);

// What the bursts came from ("input=m.h5 size=... bursts=... table=N:FP",
// "inputs=a.txt:120,b.txt:98" or "records=N"), a blank and analysis_line.
std::string settings_line(const ScanSetup& setup);

// The (parameter, D) cells as CSV, the parameter's values in the outer loop:
// "rms_nm,D_m2_per_s,joint_log_L,P".
std::string parameter_grid_text(const ParameterScan& scan);

// summary.json's text (summary_file.h).
std::string summary_text(const MeasurementScan& scan, const JointResult& joint,
                         const JointEstimate& estimate, const Provenance& provenance);

// Writes results.h5 (results_file.h) whole or not at all: the bursts table,
// the log L at the value the outputs show, the joint result, the estimate
// when there is one, every setting and the provenance as attributes of the
// root, with `more` text attributes after them.
void write_scan_results(const std::string& path, const MeasurementScan& scan,
                        const JointResult& joint, const JointEstimate* estimate,
                        const Provenance& provenance,
                        const std::vector<std::pair<std::string, std::string>>& more,
                        const StopRequest& stop = {});

}  // namespace pelmora
