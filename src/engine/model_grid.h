// The grid on which a model's distance diffuses.
#pragma once

#include "state/analysis_settings.h"
#include "state/distance_grid.h"
#include "state/distance_model.h"
#include "state/fret_corrections.h"

namespace pelmora {

// The model's equilibrium density at r (nm), up to a constant; 0 outside its
// support.  Not for the free model, which has none.
double equilibrium_density(const DistanceModel& model, double r);

// Where a confined model's probability lives: [A, B] for a box; for a chain
// and a table from their first to their last distance where P_eq reaches
// 1e-12 of its peak (a chain from 0 nm).
struct ModelSupport {
  double lower = 0;  // nm
  double upper = 0;
};
ModelSupport model_support(const DistanceModel& model);

// A confined model's decomposition is a dense M x M problem (M^3 work, two
// M x M matrices kept): beyond this many points it would take minutes and
// gigabytes for no gain in accuracy.
inline constexpr int kMaxConfinedBins = 2000;

// Free: make_distance_grid(settings), bit for bit.  Confined: the support
// cut into settings.distance_bins cells of equal width, whose centres are the
// grid's points, with the model's decomposition (computed here, once);
// refuses (kInput) more than kMaxConfinedBins points.  The grid's colour
// probabilities carry the corrections of the setup (corrected_grid, which
// refuses corrections no grid can take): with none they are the grid's own,
// to the bit.
DistanceGrid make_model_grid(const AnalysisSettings& settings, const DistanceModel& model,
                             const FretCorrections& corrections = {});

}  // namespace pelmora
