#include "engine/lane_propagator.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>

#include "engine/confined_propagator.h"
#include "engine/diffusion_step.h"
#include "engine/propagator.h"
#include "numeric/lanes.h"
#include "state/analysis_settings.h"

namespace pelmora {

namespace {

bool usable_sum(double sum) {
  return sum > 0.0 && std::isfinite(sum);
}

// Doubles the cache of exp factors may hold: 16 MiB, tens of thousands of
// steps.  Photon times in clock ticks repeat their spacings from burst to
// burst; a hit saves a step's exp calls (a confined model's M of them) for
// a read from memory.
constexpr std::size_t kCachedFactors = std::size_t{1} << 21;

bool any_positive(const double* values, int count) {
  return std::any_of(values, values + count, [](double v) { return v > 0.0; });
}

// weighted = destination * colour; *lowest lowered to the most negative
// destination value.  The most negative value is the same whatever order the
// values are compared in (a negative number replaces a larger one, 0 and -0
// never replace each other), so two lanes look for it side by side.
void weigh_by_colour(const LaneStep& step, int bins) {
  const double* propagated = step.destination;
  const double* colour = step.colour;
  double* weighted = step.weighted;
  Lanes lowest = broadcast(*step.lowest);
  int i = 0;
  for (; i + 2 <= bins; i += 2) {
    const Lanes p = load_lanes(propagated + i);
    store_lanes(weighted + i, p * load_lanes(colour + i));
    lowest = p < lowest ? p : lowest;
  }
  double most_negative = std::min(lowest[0], lowest[1]);
  for (; i < bins; ++i) {
    weighted[i] = propagated[i] * colour[i];
    most_negative = std::min(most_negative, propagated[i]);
  }
  *step.lowest = most_negative;
}

// The most factors (confined) or kernel weights (free) of one step.
std::size_t largest_factors(const DistanceGrid& grid) {
  return grid.modes ? static_cast<std::size_t>(grid.modes->modes)
                    : static_cast<std::size_t>(fft_length_for(grid.points.bins) / 2 + 1);
}

}  // namespace

bool take_step(FftWorkspace& workspace, const DistanceGrid& grid, const LaneStep& step) {
  const std::size_t bins = static_cast<std::size_t>(grid.points.bins);
  if (!diffusion_step(workspace, grid, step.diff_coeff, {step.source, bins},
                      {step.destination, bins}, step.dt)) {
    return false;
  }
  if (step.colour != nullptr) weigh_by_colour(step, grid.points.bins);
  return true;
}

// The storage of the kernels of one width: each keeps the layout of its own
// lanes (and a free lane's response from step to step).
struct LanePropagator::Width {
  const LaneKernels* kernels = nullptr;
  int lanes = 0;
  AlignedDoubles data;       // free: the sources; zero from index M on
  AlignedDoubles responses;  // free: each lane's response
  AlignedDoubles scratch;
  AlignedDoubles factors;           // confined: modes x lanes
  AlignedDoubles weights;           // free: each lane's kernel weights, a row per lane
  std::vector<const double*> rows;  // each lane's row of weights
  std::vector<int> counts;          // its weights up to its cut-off
  int extent = 0;                   // lags from which every response is 0
  int spread = 0;                   // lags the responses are to be written up to
  std::vector<const double*> sources;
  std::vector<double*> destinations;
  std::vector<int> kept;
  std::vector<double> sums;
};

int LanePropagator::lanes_for(const DistanceGrid& grid, SimdPath path) {
  // The kernels take no transform shorter than kShortest.
  if (!grid.modes && fft_length_for(grid.points.bins) < LaneConvolutionTables::kShortest) return 1;
  return simd_lanes(path);
}

LanePropagator::LanePropagator(const DistanceGrid& grid, SimdPath path)
    : grid_(grid),
      bins_(grid.points.bins),
      lanes_(lanes_for(grid, path)),
      kernels_(lanes_ > 1 ? lane_kernels(path) : LaneKernelSet{}),
      scalar_(make_fft_workspace(bins_)),
      factors_(lanes_ > 1 ? kCachedFactors : 0, largest_factors(grid)),
      spare_(static_cast<std::size_t>(bins_)) {
  if (!grid.modes && kernels_.count > 0) {
    convolution_ = std::make_unique<LaneConvolutionTables>(scalar_.fft_length);
  }
}

LanePropagator::~LanePropagator() = default;

LanePropagator::Width& LanePropagator::width_for(int count) {
  // The narrowest kernel that takes them all.
  const LaneKernels* chosen = kernels_.by_width[0];
  for (int i = 0; i < kernels_.count; ++i) {
    if (kernels_.by_width[i]->width >= count) chosen = kernels_.by_width[i];
  }
  for (const std::unique_ptr<Width>& width : widths_) {
    if (width->kernels == chosen) return *width;
  }
  auto width = std::make_unique<Width>();
  const int lanes = chosen->width;
  const std::size_t w = static_cast<std::size_t>(lanes);
  const std::size_t m = static_cast<std::size_t>(bins_);
  width->kernels = chosen;
  width->lanes = lanes;
  if (grid_.modes) {
    const std::size_t modes = static_cast<std::size_t>(grid_.modes->modes);
    width->scratch = AlignedDoubles((2 * m + modes) * w);
    width->factors = AlignedDoubles(modes * w);
  } else {
    const std::size_t n = static_cast<std::size_t>(convolution_->length());
    width->data = AlignedDoubles(n * w);
    width->responses = AlignedDoubles(n * w);
    width->scratch = AlignedDoubles(3 * n * w);
    width->weights = AlignedDoubles((n / 2 + 1 + w) * w);
    width->rows.resize(w);
    width->counts.resize(w);
  }
  width->sources.resize(w);
  width->destinations.resize(w);
  width->kept.resize(w);
  width->sums.resize(w);
  widths_.push_back(std::move(width));
  return *widths_.back();
}

void LanePropagator::propagate(std::span<const LaneStep> steps, std::span<char> ok) {
  assert(ok.size() >= steps.size());
  pending_.clear();
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const LaneStep& step = steps[i];
    if (step.dt == 0.0 || kernels_.count == 0) {
      // Normalising only, or the scalar path: one at a time.
      ok[i] = take_step(scalar_, grid_, step);
    } else if (!any_positive(step.source, bins_)) {
      ok[i] = false;
    } else {
      pending_.push_back(static_cast<int>(i));
    }
  }
  const std::span<const int> pending(pending_);
  const std::size_t widest = static_cast<std::size_t>(kernels_.count > 0 ? lanes_ : 1);
  for (std::size_t first = 0; first < pending.size(); first += widest) {
    run_kernel(steps, pending.subspan(first, std::min(widest, pending.size() - first)), ok);
  }
}

void LanePropagator::run_kernel(std::span<const LaneStep> steps, std::span<const int> which,
                                std::span<char> ok) {
  if (which.size() == 1) {
    // One distribution alone goes the scalar way, which needs no transposing.
    ok[static_cast<std::size_t>(which[0])] =
        take_step(scalar_, grid_, steps[static_cast<std::size_t>(which[0])]);
    return;
  }
  Width& width = width_for(static_cast<int>(which.size()));
  const std::size_t lanes = static_cast<std::size_t>(width.lanes);
  weighted_.resize(lanes);
  colours_.resize(lanes);
  lowest_.resize(lanes);
  for (std::size_t b = 0; b < lanes; ++b) {
    // Spare lanes, and the weighting of a step without a colour, repeat the
    // first step's numbers and write to the spare row.
    const bool used = b < which.size();
    const LaneStep& step = steps[static_cast<std::size_t>(used ? which[b] : which[0])];
    const bool weighs = used && step.colour != nullptr;
    width.sources[b] = step.source;
    width.destinations[b] = used ? step.destination : spare_.data();
    colours_[b] = weighs ? step.colour : step.source;
    weighted_[b] = weighs ? step.weighted : spare_.data();
    lowest_[b] = weighs ? *step.lowest : 0.0;
  }
  if (grid_.modes) {
    prepare_confined(width, steps, which);
    ConfinedLaneStep call;
    call.bins = bins_;
    call.modes = *std::max_element(width.kept.begin(), width.kept.end());
    call.left = grid_.modes->left.data();
    call.right = grid_.modes->right.data();
    call.sources = width.sources.data();
    call.destinations = width.destinations.data();
    call.kept = width.kept.data();
    call.factors = width.factors.data();
    call.weighting = {colours_.data(), weighted_.data(), lowest_.data()};
    call.sums = width.sums.data();
    call.scratch = width.scratch.data();
    width.kernels->confined_step(call);
  } else {
    prepare_free(width, steps, which);
    FreeLaneStep call;
    call.plan = &convolution_->plan();
    call.bins = bins_;
    call.sources = width.sources.data();
    call.destinations = width.destinations.data();
    call.data = width.data.data();
    call.responses = width.responses.data();
    call.weights = width.rows.data();
    call.counts = width.counts.data();
    call.extent = width.spread;
    call.weighting = {colours_.data(), weighted_.data(), lowest_.data()};
    call.sums = width.sums.data();
    call.scratch = width.scratch.data();
    width.kernels->free_step(call);
  }
  for (std::size_t b = 0; b < which.size(); ++b) {
    const LaneStep& step = steps[static_cast<std::size_t>(which[b])];
    ok[static_cast<std::size_t>(which[b])] = usable_sum(width.sums[b]);
    // A failed step leaves the chain's lowest value as it was.
    if (step.colour != nullptr && ok[static_cast<std::size_t>(which[b])]) *step.lowest = lowest_[b];
  }
}

void LanePropagator::prepare_confined(Width& width, std::span<const LaneStep> steps,
                                      std::span<const int> which) {
  const DiffusionModes& modes = *grid_.modes;
  const std::size_t w = static_cast<std::size_t>(width.lanes);
  double* factors = width.factors.data();
  for (std::size_t b = 0; b < w; ++b) {
    const bool used = b < which.size();
    if (!used) {
      // A spare lane keeps the first lane's modes, so that it masks none.
      width.kept[b] = width.kept[0];
      for (int k = 0; k < width.kept[b]; ++k) {
        factors[static_cast<std::size_t>(k) * w + b] = factors[static_cast<std::size_t>(k) * w];
      }
      continue;
    }
    const LaneStep& step = steps[static_cast<std::size_t>(which[b])];
    int kept = 0;
    const double* row = factors_.find(step.diff_coeff, step.dt, kept);
    if (row == nullptr) {
      double* out = factors_.reserve(step.diff_coeff, step.dt);
      kept = mode_factors(modes, step.diff_coeff, step.dt, out);
      factors_.commit(kept);
      row = out;
    }
    width.kept[b] = kept;
    for (int k = 0; k < kept; ++k) factors[static_cast<std::size_t>(k) * w + b] = row[k];
  }
  // Modes a lane leaves out are masked in the kernel; their factors are set
  // to 0 all the same, so that nothing stale enters the arithmetic.
  const int most = *std::max_element(width.kept.begin(), width.kept.end());
  for (std::size_t b = 0; b < w; ++b) {
    for (int k = width.kept[b]; k < most; ++k) factors[static_cast<std::size_t>(k) * w + b] = 0.0;
  }
}

void LanePropagator::prepare_free(Width& width, std::span<const LaneStep> steps,
                                  std::span<const int> which) {
  const std::size_t w = static_cast<std::size_t>(width.lanes);
  const int n = convolution_->length();
  const std::size_t stride = static_cast<std::size_t>(n / 2 + 1) + w;
  const PropagationGrid& points = grid_.points;
  int longest = 0;
  for (std::size_t b = 0; b < which.size(); ++b) {
    const LaneStep& step = steps[static_cast<std::size_t>(which[b])];
    // Each lane's weights of lags 0..count-1 are copied into its row: a
    // later lane's entry may move the cache's storage.
    int count = 0;
    const double* weight = factors_.find(step.diff_coeff, step.dt, count);
    if (weight == nullptr) {
      double* out = factors_.reserve(step.diff_coeff, step.dt);
      count = kernel_weights(n, points, step.diff_coeff, step.dt, out,
                             kernels_.by_width[0]->kernel_exponents);
      factors_.commit(count);
      weight = out;
    }
    double* row = width.weights.data() + b * stride;
    std::copy_n(weight, count, row);
    width.counts[b] = count;
    width.rows[b] = row;
    longest = std::max(longest, count);
  }
  // The responses are rewritten up to where the last ones ended, so that
  // every lag beyond a lane's weights is 0.
  const int extent = std::max(longest, width.extent);
  for (std::size_t b = which.size(); b < w; ++b) {
    width.rows[b] = width.rows[0];
    width.counts[b] = width.counts[0];
  }
  width.extent = longest;
  width.spread = extent;
}

}  // namespace pelmora
