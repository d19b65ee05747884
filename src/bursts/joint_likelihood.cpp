#include "bursts/joint_likelihood.h"

#include <cmath>

#include "engine/background_colours.h"
#include "engine/distance_grid.h"
#include "engine/scan_arithmetic.h"

namespace pelmora {

JointScan join_bursts(std::vector<double> coefficients, LikelihoodTable table,
                      std::span<const int> photon_counts) {
  JointScan joint;
  joint.coefficients = std::move(coefficients);
  joint.table = std::move(table);
  const int runs = joint.table.runs;
  joint.bursts.resize(static_cast<std::size_t>(joint.table.records));
  for (int b = 0; b < joint.table.records; ++b) {
    BurstVerdict& verdict = joint.bursts[static_cast<std::size_t>(b)];
    verdict.photons = photon_counts[static_cast<std::size_t>(b)];
    for (int i = 0; i < runs; ++i) {
      const CoefficientRun& run = joint.table.at(b, i);
      // A log L of NaN is rounding residue that drove the distribution
      // negative (D too small for the grid), as a collapse is.
      const LeftOut left_out = run.left_out == LeftOut::kNo && std::isnan(run.log_likelihood)
                                   ? LeftOut::kCollapsed
                                   : run.left_out;
      if (left_out != LeftOut::kNo && verdict.left_out == LeftOut::kNo) {
        verdict.left_out = left_out;
      }
      if (run.left_out == LeftOut::kNo && run.boundary_photons > 0) ++verdict.boundary_runs;
    }
    if (verdict.left_out == LeftOut::kNo) ++joint.analysed;
  }
  // Summed burst after burst, so that shares of the bursts summed again in
  // burst order give the same bits.
  joint.joint_log_likelihood.assign(static_cast<std::size_t>(runs), 0.0);
  for (int b = 0; b < joint.table.records; ++b) {
    if (joint.bursts[static_cast<std::size_t>(b)].left_out != LeftOut::kNo) continue;
    for (int i = 0; i < runs; ++i) {
      joint.joint_log_likelihood[static_cast<std::size_t>(i)] +=
          joint.table.at(b, i).log_likelihood;
    }
  }
  joint.probability = normalize_likelihoods(joint.joint_log_likelihood);
  return joint;
}

JointScan scan_bursts(std::span<const PhotonList* const> bursts,
                      std::span<const double> coefficients, const AnalysisSettings& settings,
                      const EngineOptions& engine, Observer& observer) {
  const DistanceGrid grid = make_distance_grid(settings);
  LikelihoodTable table = scan_records(bursts, coefficients, grid, engine, observer);
  std::vector<int> photon_counts;
  photon_counts.reserve(bursts.size());
  for (const PhotonList* burst : bursts) photon_counts.push_back(burst->photon_count);
  return join_bursts(std::vector<double>(coefficients.begin(), coefficients.end()),
                     std::move(table), photon_counts);
}

JointScan scan_bursts(std::span<const PhotonList* const> bursts,
                      std::span<const double> coefficients, const DistanceGrid& grid,
                      std::span<const BackgroundShares> shares, const EngineOptions& engine,
                      Observer& observer) {
  // Records with a background get copies that carry their mixed colours.
  std::vector<PhotonList> mixed;
  mixed.reserve(bursts.size());
  std::vector<const PhotonList*> records(bursts.begin(), bursts.end());
  for (std::size_t b = 0; b < shares.size() && b < bursts.size(); ++b) {
    std::shared_ptr<const MixedColours> colours = mix_background(grid, shares[b]);
    if (!colours) continue;
    mixed.push_back(*bursts[b]);
    mixed.back().colours = std::move(colours);
    records[b] = &mixed.back();
  }
  LikelihoodTable table = scan_records(records, coefficients, grid, engine, observer);
  std::vector<int> photon_counts;
  photon_counts.reserve(bursts.size());
  for (const PhotonList* burst : bursts) photon_counts.push_back(burst->photon_count);
  return join_bursts(std::vector<double>(coefficients.begin(), coefficients.end()),
                     std::move(table), photon_counts);
}

const char* left_out_reason(LeftOut reason) {
  switch (reason) {
    case LeftOut::kNo:
      return "analysed";
    case LeftOut::kCollapsed:
      return "its distance distribution was lost to rounding residue (D too small for the grid)";
    case LeftOut::kImpossibleColours:
      return "its photon colours are impossible on the distance range";
    case LeftOut::kTooFewPhotons:
      return "fewer than 3 photons";
  }
  return "";
}

}  // namespace pelmora
