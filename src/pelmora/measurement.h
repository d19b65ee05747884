// The Pelmora library for whole measurements: a Photon-HDF5 file read into a
// Measurement, its background rates and bursts, the photons each burst
// analyses, and the scan of all of them with the estimate of D.  Like
// pelmora/analysis.h, every function is a function of its arguments and
// reports failure as a pelmora::Error.  examples/measurement_example.cpp is a
// complete program:
//
//   const pelmora::Measurement m = pelmora::read_photon_hdf5("measurement.h5");
//   pelmora::ScanRequest request = pelmora::request_for_range(
//       pelmora::derive_settings({}), {1e-15, 1e-13, 21});       // D in m^2/s
//   request.model = pelmora::parse_model_scan("chain:6");          // background: auto
//   const pelmora::BurstRecords bursts = pelmora::measurement_records(
//       m, {}, request, std::nullopt, pelmora::silent_observer());  // the search's bursts
//   const pelmora::MeasurementScan scan = pelmora::scan_measurement(bursts, request);
//   const pelmora::JointEstimate d = pelmora::estimate_coefficient(scan, {});  // 1000 resamples
//   // d.coefficient.peak.value, d.coefficient.ci95->low, d.coefficient.ci95->high
//
// One scan, the shares of a scan put together (combine_scans) and the
// chunks of a scan on many processes give the same MeasurementScan, and the
// files are written from it (scan_outputs.h, loglik_file.h, share_file.h).
#pragma once

#include "bursts/background.h"
#include "bursts/background_choice.h"
#include "bursts/burst.h"
#include "bursts/burst_export.h"
#include "bursts/burst_photon_list.h"
#include "bursts/burst_photons.h"
#include "bursts/burst_records.h"
#include "bursts/burst_search.h"
#include "bursts/burst_selection.h"
#include "bursts/burst_streams.h"
#include "bursts/burst_table.h"
#include "bursts/correction_estimate.h"
#include "bursts/corrections_file.h"
#include "bursts/joint_likelihood.h"
#include "bursts/joint_result.h"
#include "bursts/loglik_file.h"
#include "bursts/measurement_scan.h"
#include "bursts/parameter_scan.h"
#include "bursts/provenance.h"
#include "bursts/scan_outputs.h"
#include "bursts/scan_request.h"
#include "bursts/scan_warnings.h"
#include "bursts/setup_text.h"
#include "bursts/shard.h"
#include "bursts/share_file.h"
#include "input/measurement.h"
#include "input/photon_hdf5.h"
#include "pelmora/analysis.h"
#include "pelmora/version.h"
