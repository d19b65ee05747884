#include "engine/shared_run.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <thread>

#include "engine/boundary_check.h"
#include "engine/confined_propagator.h"

namespace pelmora {

namespace {

enum Claim : unsigned char { kFree, kClaimed, kPublished };

// Photons 1..N-2 carry evidence; at least one block even for N = 3.
int interior_photons(int photon_count) {
  return std::max(photon_count - 2, 1);
}

}  // namespace

int checkpoint_spacing(int photon_count, int bins, std::size_t budget) {
  const int interior = interior_photons(photon_count);
  const double all_rows = static_cast<double>(interior) * bins * sizeof(double);
  if (all_rows <= static_cast<double>(budget)) return interior;
  return std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(interior)))));
}

SharedRun::SharedRun(const DistanceGrid& grid, std::size_t row_budget, int spacing)
    : grid_(grid), row_budget_(row_budget), fixed_spacing_(spacing), bins_(grid.points.bins) {}

void SharedRun::prepare(const PhotonList& photons, double diff_coeff) {
  assert(photons.photon_count >= 3);
  photons_ = &photons;
  diff_coeff_ = diff_coeff;
  count_ = photons.photon_count;
  const int interior = interior_photons(count_);
  spacing_ = std::clamp(
      fixed_spacing_ > 0 ? fixed_spacing_ : checkpoint_spacing(count_, bins_, row_budget_), 1,
      interior);
  keeps_rows_ = spacing_ == interior;
  blocks_ = keeps_rows_ ? interior : (interior + spacing_ - 1) / spacing_;
  const std::size_t blocks = static_cast<std::size_t>(blocks_);
  reserve_rows(slots_, blocks, static_cast<std::size_t>(bins_));
  if (claim_capacity_ < blocks) {
    claims_.reset();
    claim_capacity_ = 0;
    claims_ = std::make_unique<std::atomic<unsigned char>[]>(blocks);
    claim_capacity_ = blocks;
  }
  for (std::size_t b = 0; b < blocks; ++b) claims_[b].store(kFree, std::memory_order_relaxed);
  const std::size_t photons_needed = static_cast<std::size_t>(count_);
  if (contribution_.size() < photons_needed) contribution_.resize(photons_needed);
  if (counted_.size() < photons_needed) counted_.resize(photons_needed);
  over_.store(false, std::memory_order_relaxed);
  halves_[0] = HalfOutcome{};
  halves_[1] = HalfOutcome{};
}

int SharedRun::block_last(int b) const {
  return std::min(block_first(b) + block_length() - 1, count_ - 2);
}

bool SharedRun::claim(int b) {
  unsigned char expected = kFree;
  return claims_[static_cast<std::size_t>(b)].compare_exchange_strong(
      expected, kClaimed, std::memory_order_acq_rel, std::memory_order_acquire);
}

void SharedRun::publish(int b) {
  claims_[static_cast<std::size_t>(b)].store(kPublished, std::memory_order_release);
}

bool SharedRun::await(int b, StopCheck& stop) {
  const std::atomic<unsigned char>& claim = claims_[static_cast<std::size_t>(b)];
  // The other chain publishes a block one step after it claims it, so a wait
  // is short and happens at most where the chains meet: a yielding spin.
  while (claim.load(std::memory_order_acquire) != kPublished) {
    if (over() || stop()) return false;
    std::this_thread::yield();
  }
  return true;
}

bool SharedRun::published(int b) const {
  return claims_[static_cast<std::size_t>(b)].load(std::memory_order_acquire) == kPublished;
}

namespace {

// The sums over the grid of forward times backward (over P_eq for a
// confined model: `inverse` its 1/P_eq, else none), plain and weighted by
// the colour, each in ascending order of the points, for up to four photons
// side by side.
template <int N, bool Confined>
void overlap_sums(const PhotonWeighing* photons, const double* const* colours,
                  const double* inverse, int bins, double* sum, double* colour_sum) {
  double s[N];
  double c[N];
  const double* f[N];
  const double* b[N];
#pragma GCC unroll 4
  for (int j = 0; j < N; ++j) {
    s[j] = 0.0;
    c[j] = 0.0;
    f[j] = photons[j].forward;
    b[j] = photons[j].backward;
  }
  for (int k = 0; k < bins; ++k) {
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
      double t = f[j][k] * b[j][k];
      if constexpr (Confined) t = t * inverse[k];
      s[j] += t;
      c[j] += t * colours[j][k];
    }
  }
#pragma GCC unroll 4
  for (int j = 0; j < N; ++j) {
    sum[j] = s[j];
    colour_sum[j] = c[j];
  }
}

template <bool Confined>
void sums_of(std::size_t count, const PhotonWeighing* group, const double* const* colours,
             const double* inverse, int bins, double* sum, double* colour_sum) {
  switch (count) {
    case 4:
      overlap_sums<4, Confined>(group, colours, inverse, bins, sum, colour_sum);
      break;
    case 3:
      overlap_sums<3, Confined>(group, colours, inverse, bins, sum, colour_sum);
      break;
    case 2:
      overlap_sums<2, Confined>(group, colours, inverse, bins, sum, colour_sum);
      break;
    default:
      overlap_sums<1, Confined>(group, colours, inverse, bins, sum, colour_sum);
      break;
  }
}

const double* colour_of(const SharedRun& run, int j) {
  const PhotonList& photons = run.photons();
  return colour_probability(run.grid(), photons, photons.photon_types[static_cast<std::size_t>(j)])
      .data();
}

}  // namespace

void weigh_photons(std::span<const PhotonWeighing> photons, std::span<char> edges) {
  constexpr std::size_t kTogether = 4;
  for (std::size_t first = 0; first < photons.size(); first += kTogether) {
    const std::size_t count = std::min(kTogether, photons.size() - first);
    const PhotonWeighing* group = photons.data() + first;
    const DistanceGrid& grid = group[0].run->grid();
    const int bins = grid.points.bins;
    const double* inverse = grid.modes ? grid.modes->inverse_equilibrium.data() : nullptr;
    const double* colours[kTogether];
    double sum[kTogether];
    double colour_sum[kTogether];
    for (std::size_t j = 0; j < count; ++j) colours[j] = colour_of(*group[j].run, group[j].photon);
    if (inverse != nullptr) {
      sums_of<true>(count, group, colours, inverse, bins, sum, colour_sum);
    } else {
      sums_of<false>(count, group, colours, inverse, bins, sum, colour_sum);
    }
    const std::size_t m = static_cast<std::size_t>(bins);
    for (std::size_t j = 0; j < count; ++j) {
      edges[first + j] = group[j].run->weigh(group[j].photon, {group[j].forward, m},
                                             {group[j].backward, m}, sum[j], colour_sum[j]);
    }
  }
}

bool SharedRun::weigh(int j, std::span<const double> forward, std::span<const double> backward) {
  const PhotonWeighing photon{this, j, forward.data(), backward.data()};
  char edges = 0;
  weigh_photons({&photon, 1}, {&edges, 1});
  return edges != 0;
}

bool SharedRun::weigh(int j, std::span<const double> forward, std::span<const double> backward,
                      double sum, double colour_sum) {
  // A colour probability that underflowed to zero is left out, instead of
  // making log L minus infinity.
  const std::size_t index = static_cast<std::size_t>(j);
  counted_[index] = colour_sum > 0;
  if (counted_[index]) contribution_[index] = std::log(colour_sum / sum);
  // A confined model's grid ends where its probability ends (a wall, or
  // P_eq negligible): a distribution that reaches them says nothing about a
  // range chosen too narrow.
  if (grid_.modes) return !(sum > 0);
  return reaches_edges(forward, backward, bins_, sum);
}

void SharedRun::end_half(ScanDirection direction, const HalfOutcome& outcome) {
  halves_[direction == ScanDirection::kForward ? 0 : 1] = outcome;
  if (outcome.collapsed || outcome.stopped) over_.store(true, std::memory_order_release);
}

RunResult SharedRun::result() const {
  RunResult result;
  const HalfOutcome& forward = halves_[0];
  const HalfOutcome& backward = halves_[1];
  if (forward.collapsed || backward.collapsed) {
    result.collapsed = true;
    return result;
  }
  if (forward.stopped || backward.stopped) {
    result.stopped = true;
    return result;
  }
  // Summed in photon order, whichever chain weighed which photon.
  for (int j = 1; j <= count_ - 2; ++j) {
    const std::size_t index = static_cast<std::size_t>(j);
    if (counted_[index]) result.log_likelihood += contribution_[index];
  }
  result.boundary_photons = forward.boundary_photons + backward.boundary_photons;
  result.most_negative = std::min(forward.most_negative, backward.most_negative);
  return result;
}

}  // namespace pelmora
