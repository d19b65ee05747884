#include "engine/model_grid.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "base/error.h"
#include "engine/diffusion_modes.h"
#include "engine/distance_grid.h"
#include "state/distance_distribution.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

// Below this share of its peak P_eq counts as nothing: the grid ends there,
// and inside a table's support it is raised to it, so that every cell can be
// reached and divided by.
constexpr double kNegligible = 1e-12;

double table_density(const DistanceModel& model, double r) {
  const std::vector<double>& x = model.table_r;
  const std::vector<double>& p = model.table_density;
  if (!(r >= x.front() && r <= x.back())) return 0.0;
  const std::size_t above =
      static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), r) - x.begin());
  const std::size_t i = std::min(std::max<std::size_t>(above, 1), x.size() - 1) - 1;
  const double slope = (p[i + 1] - p[i]) / (x[i + 1] - x[i]);
  return std::max(0.0, p[i] + slope * (r - x[i]));
}

}  // namespace

double equilibrium_density(const DistanceModel& model, double r) {
  switch (model.kind) {
    case ModelKind::kChain:
      return r > 0 ? r * r * std::exp(-1.5 * r * r / (model.rms * model.rms)) : 0.0;
    case ModelKind::kBox:
      return r >= model.lower && r <= model.upper ? 1.0 : 0.0;
    case ModelKind::kTable:
      return table_density(model, r);
    case ModelKind::kFree:
      break;
  }
  return 0.0;
}

ModelSupport model_support(const DistanceModel& model) {
  if (model.kind == ModelKind::kBox) return {model.lower, model.upper};
  if (model.kind == ModelKind::kChain) {
    // P_eq falls monotonically beyond its peak at RMS sqrt(2/3).
    const double rms = model.rms;
    const double peak_r = rms * std::sqrt(2.0 / 3.0);
    const double peak = equilibrium_density(model, peak_r);
    double r = peak_r;
    while (equilibrium_density(model, r) >= kNegligible * peak) r += 1e-3 * rms;
    return {0.0, r};
  }
  const std::vector<double>& x = model.table_r;
  const std::vector<double>& p = model.table_density;
  const double peak = *std::max_element(p.begin(), p.end());
  std::size_t first = 0;
  while (p[first] < kNegligible * peak) ++first;
  std::size_t last = p.size() - 1;
  while (p[last] < kNegligible * peak) --last;
  // The segments that rise from nothing to the first such point (and fall
  // after the last) hold probability too.
  first = first > 0 ? first - 1 : 0;
  last = std::min(last + 1, p.size() - 1);
  return {x[first], x[last]};
}

DistanceGrid make_model_grid(const AnalysisSettings& settings, const DistanceModel& model) {
  if (!model.confined()) return make_distance_grid(settings);
  const ModelSupport support = model_support(model);
  const int bins = settings.distance_bins;
  if (bins > kMaxConfinedBins) {
    throw Error(ErrorKind::kInput,
                format_text("Model %s: at most %d distance points (-d) for a confined "
                            "model (%d asked for).",
                            model.text.c_str(), kMaxConfinedBins, bins));
  }
  const double width = (support.upper - support.lower) / bins;
  DistanceGrid grid = grid_with_efficiency(
      {bins, support.lower + 0.5 * width, support.upper - 0.5 * width}, settings.foerster_radius);
  std::vector<double> density(static_cast<std::size_t>(bins));
  for (int i = 0; i < bins; ++i) {
    density[static_cast<std::size_t>(i)] = equilibrium_density(
        model, grid_point_position(grid.points.rmin, grid.points.rmax, i, bins));
  }
  const double peak = *std::max_element(density.begin(), density.end());
  for (double& p : density) p = std::max(p, kNegligible * peak);
  grid.modes = std::make_shared<const DiffusionModes>(decompose_diffusion(density, width));
  return grid;
}

}  // namespace pelmora
