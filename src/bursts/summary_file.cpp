#include "bursts/summary_file.h"

#include <nlohmann/json.hpp>

#include "output/result_file.h"

namespace pelmora {

namespace {

using Json = nlohmann::ordered_json;

Json interval_json(const std::optional<Interval>& interval) {
  if (!interval) return nullptr;
  return Json::array({interval->low, interval->high});
}

}  // namespace

std::string summary_text(const JointEstimate& estimate, const LikelihoodGrid& grid,
                         const SummaryFacts& facts) {
  Json summary;
  summary["model"] = facts.model;
  summary["bursts"] = estimate.bursts;
  summary["bursts_left_out"] = facts.bursts_left_out;
  summary["D_m2_per_s"] = estimate.coefficient.peak.value;
  summary["ci68_m2_per_s"] = interval_json(estimate.coefficient.ci68);
  summary["ci95_m2_per_s"] = interval_json(estimate.coefficient.ci95);
  summary["interval"] = interval_source_name(estimate.interval);
  summary["D_refinement"] = peak_shape_name(estimate.coefficient.peak.shape);
  summary["bootstrap"] = {{"resamples", estimate.bootstrap.resamples},
                          {"seed", estimate.bootstrap.seed},
                          {"resamples_at_grid_edge", estimate.coefficient.resamples_at_edge}};
  summary["D_grid_m2_per_s"] = grid.coefficients.values;
  if (grid.parameter && estimate.parameter) {
    const AxisEstimate& p = *estimate.parameter;
    summary["parameter"] = {{"name", grid.parameter->name},
                            {"estimate", p.peak.value},
                            {"ci68", interval_json(p.ci68)},
                            {"ci95", interval_json(p.ci95)},
                            {"refinement", peak_shape_name(p.peak.shape)},
                            {"resamples_at_grid_edge", p.resamples_at_edge},
                            {"grid", grid.parameter->values}};
    const std::size_t columns = grid.parameter->values.size();
    Json rows = Json::array();
    for (std::size_t start = 0; start < estimate.joint_log_likelihood.size(); start += columns) {
      rows.push_back(std::vector<double>(estimate.joint_log_likelihood.begin() + start,
                                         estimate.joint_log_likelihood.begin() + start + columns));
    }
    summary["joint_log_L"] = rows;
  } else {
    summary["joint_log_L"] = estimate.joint_log_likelihood;
  }
  summary["settings"] = facts.settings;
  summary["pelmora_version"] = facts.pelmora_version;
  summary["command"] = facts.command;
  return summary.dump(2) + "\n";
}

void write_summary_file(const std::string& path, const JointEstimate& estimate,
                        const LikelihoodGrid& grid, const SummaryFacts& facts,
                        const StopRequest& stop) {
  const std::string text = summary_text(estimate, grid, facts);
  ResultFile file(path, stop);
  file.text(text);
  file.close();
}

}  // namespace pelmora
