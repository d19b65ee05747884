#include "engine/model_grid.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "base/error.h"
#include "engine/corrected_colours.h"
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

double table_density(const TabulatedDensity& table, double r) {
  const std::vector<double>& x = table.r;
  const std::vector<double>& p = table.density;
  if (!(r >= x.front() && r <= x.back())) return 0.0;
  const std::size_t above =
      static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), r) - x.begin());
  const std::size_t i = std::min(std::max<std::size_t>(above, 1), x.size() - 1) - 1;
  const double slope = (p[i + 1] - p[i]) / (x[i + 1] - x[i]);
  return std::max(0.0, p[i] + slope * (r - x[i]));
}

double chain_density(const GaussianChain& chain, double r) {
  return r > 0 ? r * r * std::exp(-1.5 * r * r / (chain.rms * chain.rms)) : 0.0;
}

}  // namespace

double equilibrium_density(const DistanceModel& model, double r) {
  return std::visit(
      Overloaded{[](const FreeDiffusion&) { return 0.0; },
                 [r](const GaussianChain& chain) { return chain_density(chain, r); },
                 [r](const FlatBox& box) { return r >= box.lower && r <= box.upper ? 1.0 : 0.0; },
                 [r](const TabulatedDensity& table) { return table_density(table, r); }},
      model.shape);
}

namespace {

ModelSupport chain_support(const GaussianChain& chain) {
  // P_eq falls monotonically beyond its peak at RMS sqrt(2/3).
  const double peak_r = chain.rms * std::sqrt(2.0 / 3.0);
  const double peak = chain_density(chain, peak_r);
  double r = peak_r;
  while (chain_density(chain, r) >= kNegligible * peak) r += 1e-3 * chain.rms;
  return {0.0, r};
}

ModelSupport table_support(const TabulatedDensity& table) {
  const std::vector<double>& x = table.r;
  const std::vector<double>& p = table.density;
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

}  // namespace

ModelSupport model_support(const DistanceModel& model) {
  return std::visit(Overloaded{[](const FreeDiffusion&) { return ModelSupport{}; },
                               [](const GaussianChain& chain) { return chain_support(chain); },
                               [](const FlatBox& box) {
                                 return ModelSupport{box.lower, box.upper};
                               },
                               [](const TabulatedDensity& table) { return table_support(table); }},
                    model.shape);
}

DistanceGrid make_model_grid(const AnalysisSettings& settings, const DistanceModel& model,
                             const FretCorrections& corrections) {
  if (!model.confined()) return corrected_grid(make_distance_grid(settings), corrections);
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
  return corrected_grid(std::move(grid), corrections);
}

}  // namespace pelmora
