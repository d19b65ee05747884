#include "bursts/scan_warnings.h"

#include <algorithm>
#include <map>

#include "bursts/table_seconds.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

std::string listed(const std::vector<std::int64_t>& bursts) {
  constexpr std::size_t kShown = 10;
  std::string text;
  for (std::size_t i = 0; i < bursts.size() && i < kShown; ++i) {
    text += (i == 0 ? "" : ", ") + std::to_string(bursts[i]);
  }
  if (bursts.size() > kShown) text += format_text(" and %zu more", bursts.size() - kShown);
  return text;
}

}  // namespace

std::vector<ScanWarning> left_out_warnings(const MeasurementScan& scan, const SettingWords& words) {
  std::vector<ScanWarning> warnings;
  if (words.each_burst_left_out) {
    for (const ScannedBurst& burst : scan.bursts) {
      if (!burst.log_likelihood.empty()) continue;
      ScanWarning warning{
          ScanWarningKind::kBurstLeftOut,
          format_text("burst %lld (%s to %s s) left out: %s.",
                      static_cast<long long>(burst.window.number),
                      format_table_seconds(burst.window.t_start_s).c_str(),
                      format_table_seconds(burst.window.t_stop_s).c_str(),
                      burst.left_out.empty() ? "no log L" : burst.left_out.c_str())};
      warning.burst = burst.window.number;
      warnings.push_back(std::move(warning));
    }
    return warnings;
  }
  // The reasons in the order they first occur, each with its bursts.
  std::vector<std::string> reasons;
  std::map<std::string, std::vector<std::int64_t>> bursts_of;
  for (const ScannedBurst& burst : scan.bursts) {
    if (!burst.log_likelihood.empty()) continue;
    std::vector<std::int64_t>& bursts = bursts_of[burst.left_out];
    if (bursts.empty()) reasons.push_back(burst.left_out);
    bursts.push_back(burst.window.number);
  }
  for (const std::string& reason : reasons) {
    const std::vector<std::int64_t>& bursts = bursts_of[reason];
    ScanWarning warning{ScanWarningKind::kBurstsLeftOut,
                        format_text("%zu of %zu bursts left out: %s (burst %s).", bursts.size(),
                                    scan.bursts.size(), reason.c_str(), listed(bursts).c_str())};
    warning.count = static_cast<int>(bursts.size());
    warning.total = static_cast<int>(scan.bursts.size());
    warnings.push_back(std::move(warning));
  }
  return warnings;
}

std::vector<ScanWarning> result_warnings(const MeasurementScan& scan, const JointResult& joint,
                                         const JointEstimate* estimate, const SettingWords& words) {
  std::vector<ScanWarning> warnings;
  const auto add = [&](ScanWarningKind kind, std::string text, int count, int total, double value) {
    ScanWarning warning{kind, std::move(text)};
    warning.count = count;
    warning.total = total;
    warning.value = value;
    warnings.push_back(std::move(warning));
  };
  const int bursts = static_cast<int>(scan.bursts.size());
  // Boundary artifacts matter where the estimate rests: at the coefficient
  // of the joint maximum (of the model value the outputs show).  Over a wide
  // range of D nearly every burst reaches the grid's edges at its largest
  // coefficients, which says nothing about the estimate.
  const std::size_t runs = scan.runs();
  std::size_t peak = 0;
  if (estimate != nullptr) {
    peak = estimate->coefficient.peak.grid_index;
  } else if (!joint.probability.empty()) {
    peak = static_cast<std::size_t>(
        std::max_element(joint.probability.begin(), joint.probability.end()) -
        joint.probability.begin());
  }
  const std::size_t peak_cell = joint.shown * runs + peak;
  int with_boundary = 0;
  int at_peak = 0;
  int collapsed = 0;
  int residue = 0;
  for (const ScannedBurst& burst : scan.bursts) {
    // At the model value the outputs show.
    with_boundary += burst.boundary_runs[joint.shown] > 0 ? 1 : 0;
    at_peak += !burst.log_likelihood.empty() && peak_cell < burst.boundary_photons.size() &&
                       burst.boundary_photons[peak_cell] > 0
                   ? 1
                   : 0;
    collapsed += burst.collapsed ? 1 : 0;
    for (const std::uint8_t dominates : burst.residue_dominates) residue += dominates;
  }
  if (at_peak > 0) {
    const double d = scan.setup.request.coefficients[peak];
    add(ScanWarningKind::kBoundaryArtifacts,
        format_text("possible boundary artifacts in %d of %d bursts at D = %g m^2/s, where the "
                    "joint log L is largest (%d at some of the coefficients); enlarge %s.",
                    at_peak, bursts, d, with_boundary, words.distance_range.c_str()),
        at_peak, bursts, d);
  }
  if (collapsed > 0) {
    add(ScanWarningKind::kCollapsedBursts,
        format_text("%d bursts were left out because the smallest D values are too small for "
                    "them on this grid; %s (or %s) keeps them in the joint sum, which leaving "
                    "them out biases.",
                    collapsed, words.larger_smallest_d.c_str(), words.coarser_grid.c_str()),
        collapsed, bursts, 0);
  }
  if (words.residue_runs && residue > 0) {
    add(ScanWarningKind::kRoundingResidue,
        format_text("rounding residue dominates in %d runs (D too small for the grid): their "
                    "log L is not to be trusted.",
                    residue),
        residue, 0, 0);
  }
  if (scan.simultaneous_photons > 0) {
    add(ScanWarningKind::kSimultaneousPhotons,
        format_text("%d photons arrived at the time of the one before and were moved 0.01 mu s "
                    "later, as the photon reader does.",
                    scan.simultaneous_photons),
        scan.simultaneous_photons, 0, 0);
  }
  if (estimate == nullptr) return warnings;
  // Each axis of the grid, D and a scanned model parameter, in the same words.
  const auto axis_warnings = [&](const AxisEstimate& axis, const std::string& name,
                                 const std::string& unit, const std::vector<double>& values,
                                 const std::string& wider) {
    if (axis.peak.shape == PeakShape::kGridEdge) {
      const double edge = values[axis.peak.grid_index];
      add(ScanWarningKind::kEstimateAtGridEdge,
          format_text("the joint log L is largest at the %s %s of the grid (%g%s), so %s may "
                      "lie beyond it; %s.",
                      axis.peak.grid_index == 0 ? "smallest" : "largest", name.c_str(), edge,
                      unit.c_str(), name.c_str(), wider.c_str()),
          0, 0, edge);
    }
    if (axis.resamples_at_edge > 0) {
      add(ScanWarningKind::kResamplesAtGridEdge,
          format_text("%d of %d bootstrap resamples have their maximum at an edge of the grid of "
                      "%s, so the interval may reach beyond it; %s.",
                      axis.resamples_at_edge, estimate->bootstrap.resamples, name.c_str(),
                      wider.c_str()),
          axis.resamples_at_edge, estimate->bootstrap.resamples, 0);
    }
  };
  axis_warnings(estimate->coefficient, "D", " m^2/s", scan.setup.request.coefficients,
                words.wider_d);
  const ModelScan& model = scan.setup.request.model;
  if (estimate->parameter && model.scanned()) {
    axis_warnings(*estimate->parameter, model.parameter, "", model.parameter_values,
                  words.wider_parameter);
  }
  return warnings;
}

}  // namespace pelmora
