#include "engine/likelihood_run.h"

#include <algorithm>
#include <cassert>

#include "engine/propagator.h"

namespace pelmora {

namespace {

// An empty record for the chains until their first run.
const PhotonList& no_photons() {
  static const PhotonList empty;
  return empty;
}

ScanDirection opposite(ScanDirection direction) {
  return direction == ScanDirection::kForward ? ScanDirection::kBackward : ScanDirection::kForward;
}

void copy_row(std::span<const double> from, std::span<double> to) {
  std::copy_n(from.data(), to.size(), to.data());
}

}  // namespace

LikelihoodRun::LikelihoodRun(const DistanceGrid& grid)
    : bins_(grid.points.bins),
      workspace_(make_fft_workspace(bins_)),
      forward_(grid, no_photons(), ScanDirection::kForward, workspace_, 0.0),
      backward_(grid, no_photons(), ScanDirection::kBackward, workspace_, 0.0) {}

bool LikelihoodRun::recompute_block(SharedRun& run, int b, ScanDirection other) {
  PhotonChain& chain = this->chain(other);
  const int first = run.block_first(b);
  const int last = run.block_last(b);
  const bool forward = other == ScanDirection::kForward;
  chain.resume(forward ? first - 1 : last + 1, run.slot(b));
  for (int i = 0; i <= last - first; ++i) {
    const int k = forward ? first + i : last - i;
    // The other chain takes, or has taken, these very steps; should one of
    // them fail, that chain ends the run as well.
    if (!chain.advance(k, rows_.row_span(static_cast<std::size_t>(k - first)))) return false;
  }
  return true;
}

bool LikelihoodRun::cross_block(SharedRun& run, int b, PhotonChain& own, bool weigh,
                                HalfOutcome& outcome, StopCheck& stop) {
  const bool forward = own.direction() == ScanDirection::kForward;
  const int first = run.block_first(b);
  const int last = run.block_last(b);
  for (int i = 0; i <= last - first; ++i) {
    const int k = forward ? first + i : last - i;
    if (stop() || run.over()) {
      outcome.stopped = true;
      return false;
    }
    if (!own.advance(k)) {
      outcome.collapsed = true;
      return false;
    }
    if (!weigh) continue;
    const std::span<const double> other = rows_.row_span(static_cast<std::size_t>(k - first));
    const bool edges = forward ? run.weigh(k, own.propagated(), other)
                               : run.weigh(k, other, own.propagated());
    if (edges) ++outcome.boundary_photons;
  }
  return true;
}

void LikelihoodRun::run_half(SharedRun& run, ScanDirection direction, StopCheck& stop) {
  PhotonChain& own = chain(direction);
  PhotonChain& other = chain(opposite(direction));
  for (PhotonChain* c : {&own, &other}) {
    c->set_photons(run.photons());
    c->set_diff_coeff(run.diff_coeff());
  }
  if (!run.keeps_rows()) {
    reserve_rows(rows_, static_cast<std::size_t>(run.block_length()),
                 static_cast<std::size_t>(bins_));
  }

  HalfOutcome outcome;
  auto end = [&] {
    outcome.most_negative = own.most_negative();
    run.end_half(direction, outcome);
  };
  // Nothing to do in a run that the other chain has ended already.
  if (run.over()) {
    outcome.stopped = true;
    return end();
  }
  if (!own.start()) {
    outcome.collapsed = true;
    return end();
  }
  const bool forward = direction == ScanDirection::kForward;
  const int blocks = run.blocks();
  for (int i = 0; i < blocks; ++i) {
    const int b = forward ? i : blocks - 1 - i;
    const bool first = run.claim(b);
    if (run.keeps_rows()) {
      const int j = run.block_first(b);
      if (stop() || run.over()) {
        outcome.stopped = true;
        return end();
      }
      // The first chain here propagates straight into the slot it leaves.
      if (!own.advance(j, first ? run.slot(b) : std::span<double>())) {
        outcome.collapsed = true;
        return end();
      }
      if (first) {
        run.publish(b);
      } else {
        if (!run.await(b, stop)) {
          outcome.stopped = true;
          return end();
        }
        const bool edges = forward ? run.weigh(j, own.propagated(), run.slot(b))
                                   : run.weigh(j, run.slot(b), own.propagated());
        if (edges) ++outcome.boundary_photons;
      }
      continue;
    }
    if (first) {
      assert(own.photon() == (forward ? run.block_first(b) - 1 : run.block_last(b) + 1));
      copy_row(own.weighted(), run.slot(b));
      run.publish(b);
      if (!cross_block(run, b, own, false, outcome, stop)) return end();
      continue;
    }
    if (!run.await(b, stop)) {
      outcome.stopped = true;
      return end();
    }
    if (!recompute_block(run, b, opposite(direction))) {
      outcome.collapsed = true;
      return end();
    }
    if (!cross_block(run, b, own, true, outcome, stop)) return end();
  }
  // The chain's last step, to the photon at its far end: it weighs nothing,
  // but its weights count towards most_negative and it may collapse too.
  if (stop() || run.over()) {
    outcome.stopped = true;
    return end();
  }
  if (!own.advance(forward ? run.photon_count() - 1 : 0)) outcome.collapsed = true;
  end();
}

RunResult LikelihoodRun::run(SharedRun& run, StopCheck& stop) {
  run_half(run, ScanDirection::kForward, stop);
  run_half(run, ScanDirection::kBackward, stop);
  return run.result();
}

}  // namespace pelmora
