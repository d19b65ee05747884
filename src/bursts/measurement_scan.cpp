#include "bursts/measurement_scan.h"

#include <algorithm>
#include <variant>

#include "base/error.h"
#include "bursts/colour_shares.h"
#include "bursts/counting_observer.h"
#include "bursts/joint_likelihood.h"
#include "engine/background_colours.h"
#include "engine/model_grid.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

[[noreturn]] void refuse(std::string message) {
  throw Error(ErrorKind::kInput, std::move(message));
}

// Each burst's shares of photons whose colour owes nothing to its distance
// (bursts/colour_shares.h): the expected background photons of the donor and
// the acceptor channel over its window (auto: as the measurement's estimate
// expects them; given rates: the rates times its span in real time) and the
// acceptor photons of direct excitation, over its analysed photons, capped
// together.
std::vector<CappedShares> colour_shares_of(const BackgroundChoice& choice,
                                           std::span<const BurstRecord> bursts,
                                           const FretCorrections& corrections) {
  std::vector<CappedShares> shares(bursts.size());
  const bool direct = corrections.dir_ex != 0;
  if (choice.mode == BackgroundChoice::Mode::kOff && !direct) return shares;
  for (std::size_t b = 0; b < bursts.size(); ++b) {
    const BurstRecord& burst = bursts[b];
    const int photons = burst.photons.photon_count;
    BackgroundCounts mixed;
    if (burst.expected_background)
      mixed.acceptor_excited = burst.expected_background->acceptor_excited;
    if (choice.mode == BackgroundChoice::Mode::kRates) {
      const double span = burst.window.t_stop_s - burst.window.t_start_s;
      mixed.donor = choice.donor_hz * span;
      mixed.acceptor = choice.acceptor_hz * span;
    } else if (choice.mode == BackgroundChoice::Mode::kAuto) {
      if (!burst.expected_background) {
        refuse("The background auto needs the measurement's background estimate.");
      }
      mixed.donor = burst.expected_background->donor;
      mixed.acceptor = burst.expected_background->acceptor;
    }
    // A refused burst has no photons: it is left out, and so are its shares.
    if (photons == 0) continue;
    shares[b] = burst_colour_shares(burst.counts, mixed, photons, corrections);
  }
  return shares;
}

ScannedBurst scanned_burst(const BurstRecord& record, std::size_t b,
                           const std::vector<JointScan>& joints, const ModelScan& model) {
  ScannedBurst burst;
  burst.position = record.position;
  burst.window = record.window;
  burst.counts = record.counts;
  burst.photons = record.photons.photon_count;
  bool every_value = true;
  for (const JointScan& joint : joints) {
    const BurstVerdict& verdict = joint.bursts[b];
    burst.boundary_runs.push_back(verdict.boundary_runs);
    every_value = every_value && verdict.left_out == LeftOut::kNo;
    for (int i = 0; i < joint.table.runs; ++i) {
      const CoefficientRun& run = joint.table.at(static_cast<int>(b), i);
      burst.boundary_photons.push_back(run.boundary_photons);
      burst.residue_dominates.push_back(run.residue_dominates ? 1 : 0);
    }
  }
  const LeftOut first = joints.front().bursts[b].left_out;
  if (!record.refused.empty()) {
    burst.left_out = record.refused;
  } else if (model.scanned() && !every_value) {
    burst.left_out = "it could not be analysed at every value of " + model.parameter;
  } else if (first != LeftOut::kNo) {
    burst.left_out = left_out_reason(first);
    burst.collapsed = first == LeftOut::kCollapsed;
  } else {
    for (const JointScan& joint : joints) {
      for (int i = 0; i < joint.table.runs; ++i) {
        burst.log_likelihood.push_back(joint.table.at(static_cast<int>(b), i).log_likelihood);
      }
    }
  }
  return burst;
}

}  // namespace

MeasurementScan scan_measurement(const BurstRecords& records, const ScanRequest& request,
                                 const EngineOptions& engine, Observer& observer) {
  const bool measurement = records.from_measurement();
  check_request(request, measurement);
  MeasurementScan scan;
  scan.setup.source = records.source;
  scan.setup.request = request;
  scan.setup.request.background = resolved_background(request, measurement);
  if (records.shard) scan.share = TableShare{*records.shard, records.table_bursts};

  const std::vector<CappedShares> capped =
      colour_shares_of(*scan.setup.request.background, records.bursts, request.corrections);
  scan.share_cap = share_cap_warning(capped);
  std::vector<BackgroundShares> shares;
  shares.reserve(capped.size());
  for (const CappedShares& share : capped) shares.push_back(share.shares);
  std::vector<const PhotonList*> photons;
  photons.reserve(records.bursts.size());
  for (const BurstRecord& record : records.bursts) photons.push_back(&record.photons);
  // One joint scan per value of a scanned parameter, each on its model's grid.
  // Every grid before any burst is analysed, so that corrections no grid
  // can take are refused at once.
  std::vector<DistanceGrid> grids;
  for (const DistanceModel& model : request.model.models) {
    grids.push_back(make_model_grid(request.analysis, model, request.corrections));
  }
  CountingObserver counting(observer);
  std::vector<JointScan> joints;
  for (const DistanceGrid& grid : grids) {
    joints.push_back(scan_bursts(photons, request.coefficients, grid, shares, engine, counting));
  }
  for (std::size_t b = 0; b < records.bursts.size(); ++b) {
    scan.bursts.push_back(scanned_burst(records.bursts[b], b, joints, request.model));
  }
  scan.simultaneous_photons = counting.simultaneous_photons();
  for (const BurstRecord& record : records.bursts) {
    scan.simultaneous_photons += record.simultaneous_photons;
  }
  return scan;
}

MeasurementScan combine_scans(std::span<const MeasurementScan> shares,
                              std::span<const std::string> names) {
  if (shares.empty()) refuse("No shares to combine.");
  const MeasurementScan& first = shares.front();
  if (!first.share) refuse("Scan " + names[0] + " is not a share of a scan.");
  const long long count = first.share->shard.count;
  const std::size_t total = first.share->table_bursts;
  std::vector<const MeasurementScan*> by_index(static_cast<std::size_t>(count), nullptr);
  for (std::size_t s = 0; s < shares.size(); ++s) {
    const MeasurementScan& share = shares[s];
    const auto* ours = std::get_if<MeasurementSource>(&first.setup.source);
    const auto* theirs = std::get_if<MeasurementSource>(&share.setup.source);
    if (ours != nullptr && theirs != nullptr &&
        (ours->size_bytes != theirs->size_bytes ||
         (!ours->photons_crc32.empty() && !theirs->photons_crc32.empty() &&
          ours->photons_crc32 != theirs->photons_crc32))) {
      refuse(format_text(
          "Shares %s and %s are of different measurements (%s: %llu bytes, photons CRC-32 %s; "
          "%s: %llu bytes, photons CRC-32 %s); combine only the shares of one measurement.",
          names[0].c_str(), names[s].c_str(), names[0].c_str(),
          static_cast<unsigned long long>(ours->size_bytes), ours->photons_crc32.c_str(),
          names[s].c_str(), static_cast<unsigned long long>(theirs->size_bytes),
          theirs->photons_crc32.c_str()));
    }
    if (!share.share || !(share.setup == first.setup) || share.share->shard.count != count ||
        share.share->table_bursts != total) {
      refuse(
          format_text("Shares %s and %s come from different runs (their settings differ); "
                      "combine only the shares of one run.",
                      names[0].c_str(), names[s].c_str()));
    }
    const Shard& shard = share.share->shard;
    const MeasurementScan*& slot = by_index[static_cast<std::size_t>(shard.index - 1)];
    if (slot != nullptr) {
      refuse(format_text("Share %lld/%lld is given twice (%s).", shard.index, count,
                         names[s].c_str()));
    }
    slot = &share;
    const std::vector<std::size_t> positions = shard_positions(total, shard);
    bool holds = share.bursts.size() == positions.size();
    for (std::size_t j = 0; holds && j < positions.size(); ++j) {
      holds = share.bursts[j].position == positions[j];
    }
    if (!holds) {
      refuse(format_text("Share %lld/%lld holds %zu bursts instead of %zu.", shard.index, count,
                         share.bursts.size(), positions.size()));
    }
  }
  for (long long i = 0; i < count; ++i) {
    if (by_index[static_cast<std::size_t>(i)] == nullptr) {
      refuse(format_text("Share %lld/%lld is missing; all %lld shares are needed.", i + 1, count,
                         count));
    }
  }
  MeasurementScan whole;
  whole.setup = first.setup;
  whole.bursts.reserve(total);
  for (std::size_t position = 0; position < total; ++position) {
    const MeasurementScan& share = *by_index[position % static_cast<std::size_t>(count)];
    whole.bursts.push_back(share.bursts[position / static_cast<std::size_t>(count)]);
  }
  for (const MeasurementScan& share : shares) {
    whole.simultaneous_photons += share.simultaneous_photons;
  }
  return whole;
}

}  // namespace pelmora
