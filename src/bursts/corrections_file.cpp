#include "bursts/corrections_file.h"

#include <nlohmann/json.hpp>

#include "output/result_file.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

using Json = nlohmann::ordered_json;

Json coefficient_json(const CoefficientEstimate& c, const std::string& population) {
  Json json;
  json["value"] = c.value ? Json(*c.value) : Json(nullptr);
  json["ci95"] = c.ci95 ? Json::array({c.ci95->low, c.ci95->high}) : Json(nullptr);
  json["bursts"] = c.bursts;
  json["population"] = population;
  json["reason"] = c.reason.empty() ? Json(nullptr) : Json(c.reason);
  return json;
}

}  // namespace

std::string corrections_text(const CorrectionEstimate& estimate, const std::string& settings) {
  const CorrectionEstimateOptions& o = estimate.options;
  Json json;
  json["leakage"] =
      coefficient_json(estimate.leakage, format_text("S_raw > %g", o.donor_only_min_s));
  json["dir_ex"] =
      coefficient_json(estimate.dir_ex, format_text("S_raw < %g", o.acceptor_only_max_s));
  json["dir_ex"]["leakage_used"] =
      estimate.dir_ex_after_estimated_leakage ? *estimate.leakage.value : o.known_leakage;
  json["gamma"] = "not estimated: it cannot be had from a single population";
  json["bootstrap"] = {{"resamples", o.resamples}, {"seed", o.seed}};
  json["options"] = estimate.options_text();
  json["settings"] = settings;
  return json.dump(2) + "\n";
}

void write_corrections_file(const std::string& path, const CorrectionEstimate& estimate,
                            const std::string& settings, const StopRequest& stop) {
  const std::string text = corrections_text(estimate, settings);
  ResultFile file(path, stop);
  file.text(text);
  file.close();
}

}  // namespace pelmora
