// The scan of a measurement: the log L of every burst at every coefficient
// (and every value of a scanned model parameter), with what each burst is
// and why any was left out of the joint sum.  One scan, the shares of one
// scan put together (combine_scans), and the chunks of a scan on many
// processes all end here, and every result file and summary is made from
// it, so that they cannot differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bursts/burst_records.h"
#include "bursts/colour_shares.h"
#include "bursts/scan_request.h"
#include "bursts/shard.h"
#include "state/engine_options.h"
#include "state/observer.h"

namespace pelmora {

// Everything the numbers of a scan depend on: where the bursts came from and
// the request, its background resolved.  Shares agree on it, or they are
// not of one scan.
struct ScanSetup {
  BurstSource source;
  ScanRequest request;  // request.background is always set
  bool operator==(const ScanSetup&) const = default;
};

struct ScannedBurst {
  std::size_t position = 0;  // in the whole table, 0-based
  BurstWindow window;
  BurstCounts counts;
  std::int64_t photons = 0;  // in its photon record
  // Why the burst is not in the joint sum; empty when it is.
  std::string left_out;
  bool collapsed = false;  // left out for a distribution lost to rounding residue
  // Per value of the model (one value without a scanned parameter): the
  // coefficients at which the distribution reached the grid's edges.
  std::vector<int> boundary_runs;
  // Per cell, value p and coefficient i at p * coefficients + i.
  std::vector<double> log_likelihood;  // empty when left out
  std::vector<std::int32_t> boundary_photons;
  std::vector<std::uint8_t> residue_dominates;  // 1: rounding residue dominates the run
};

struct TableShare {
  Shard shard;
  std::size_t table_bursts = 0;
};

struct MeasurementScan {
  ScanSetup setup;
  std::vector<ScannedBurst> bursts;  // in table order
  std::optional<TableShare> share;   // when these are one share of the table
  int simultaneous_photons = 0;      // moved apart while the records were made
  // Bursts whose background and direct-excitation shares were capped.
  std::optional<ShareCapWarning> share_cap;

  std::size_t values() const { return setup.request.model.models.size(); }
  std::size_t runs() const { return setup.request.coefficients.size(); }
};

// Scans every burst at every coefficient, once per value of a scanned model
// parameter (each on its model's grid), with the background mixed in.
// Refuses (kInput) what check_request refuses; errors of the engine are
// thrown as they come.  Runs are reported to `observer` as they finish, in
// burst order, value after value.
MeasurementScan scan_measurement(const BurstRecords& records, const ScanRequest& request,
                                 const EngineOptions& engine = {},
                                 Observer& observer = silent_observer());

// The shares of one scan as the one scan over all bursts.  `names` name the
// shares in errors ("Shares a.csv and b.csv come from different runs").
// Refuses (kInput) shares of different setups, a share given
// twice or missing, and shares that do not hold their bursts.
MeasurementScan combine_scans(std::span<const MeasurementScan> shares,
                              std::span<const std::string> names);

}  // namespace pelmora
