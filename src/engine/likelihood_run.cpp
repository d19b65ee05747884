#include "engine/likelihood_run.h"

#include <algorithm>

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

bool LikelihoodRun::go_on(SharedRun& run, HalfOutcome& outcome, StopCheck& stop) {
  if (!stop() && !run.over()) return true;
  outcome.stopped = true;
  return false;
}

void LikelihoodRun::weigh(SharedRun& run, int k, const PhotonChain& own,
                          std::span<const double> other, HalfOutcome& outcome) {
  const bool edges = own.direction() == ScanDirection::kForward
                         ? run.weigh(k, own.propagated(), other)
                         : run.weigh(k, other, own.propagated());
  if (edges) ++outcome.boundary_photons;
}

bool LikelihoodRun::recompute_block(SharedRun& run, int b, ScanDirection other,
                                    HalfOutcome& outcome, StopCheck& stop) {
  PhotonChain& chain = this->chain(other);
  const int first = run.block_first(b);
  const int last = run.block_last(b);
  const bool forward = other == ScanDirection::kForward;
  chain.resume(forward ? first - 1 : last + 1, run.slot(b));
  for (int i = 0; i <= last - first; ++i) {
    const int k = forward ? first + i : last - i;
    if (!go_on(run, outcome, stop)) return false;
    // The other chain takes, or has taken, these very steps; should one of
    // them fail, that chain ends the run as well.
    if (!chain.advance(k, rows_.row_span(static_cast<std::size_t>(k - first)))) {
      outcome.collapsed = true;
      return false;
    }
  }
  return true;
}

bool LikelihoodRun::cross_block(SharedRun& run, int b, PhotonChain& own, bool weighs,
                                HalfOutcome& outcome, StopCheck& stop) {
  const bool forward = own.direction() == ScanDirection::kForward;
  const int first = run.block_first(b);
  const int last = run.block_last(b);
  for (int i = 0; i <= last - first; ++i) {
    const int k = forward ? first + i : last - i;
    if (!go_on(run, outcome, stop)) return false;
    if (!own.advance(k)) {
      outcome.collapsed = true;
      return false;
    }
    if (weighs) weigh(run, k, own, rows_.row_span(static_cast<std::size_t>(k - first)), outcome);
  }
  return true;
}

bool LikelihoodRun::pass_photon(SharedRun& run, int b, bool first, PhotonChain& own,
                                HalfOutcome& outcome, StopCheck& stop) {
  const int j = run.block_first(b);
  if (!go_on(run, outcome, stop)) return false;
  // The first chain here propagates straight into the slot it leaves.
  if (!own.advance(j, first ? run.slot(b) : std::span<double>())) {
    outcome.collapsed = true;
    return false;
  }
  if (first) {
    run.publish(b);
    return true;
  }
  if (!run.await(b, stop)) {
    outcome.stopped = true;
    return false;
  }
  weigh(run, j, own, run.slot(b), outcome);
  return true;
}

bool LikelihoodRun::pass_block(SharedRun& run, int b, bool first, PhotonChain& own,
                               HalfOutcome& outcome, StopCheck& stop) {
  if (first) {
    copy_row(own.weighted(), run.slot(b));
    run.publish(b);
    return cross_block(run, b, own, false, outcome, stop);
  }
  if (!run.await(b, stop)) {
    outcome.stopped = true;
    return false;
  }
  return recompute_block(run, b, opposite(own.direction()), outcome, stop) &&
         cross_block(run, b, own, true, outcome, stop);
}

void LikelihoodRun::run_half(SharedRun& run, ScanDirection direction, StopCheck& stop) {
  PhotonChain& own = chain(direction);
  for (PhotonChain* c : {&forward_, &backward_}) {
    c->set_photons(run.photons());
    c->set_diff_coeff(run.diff_coeff());
  }
  if (!run.keeps_rows()) {
    reserve_rows(rows_, static_cast<std::size_t>(run.block_length()),
                 static_cast<std::size_t>(bins_));
  }

  HalfOutcome outcome;
  const bool forward = direction == ScanDirection::kForward;
  // Nothing to do in a run that the other chain has ended already.
  bool going = go_on(run, outcome, stop);
  if (going && !own.start()) {
    outcome.collapsed = true;
    going = false;
  }
  const int blocks = run.blocks();
  for (int i = 0; going && i < blocks; ++i) {
    const int b = forward ? i : blocks - 1 - i;
    const bool first = run.claim(b);
    going = run.keeps_rows() ? pass_photon(run, b, first, own, outcome, stop)
                             : pass_block(run, b, first, own, outcome, stop);
  }
  // The chain's last step, to the photon at its far end: it weighs nothing,
  // but its weights count towards most_negative and it may collapse too.
  if (going && go_on(run, outcome, stop) && !own.advance(forward ? run.photon_count() - 1 : 0)) {
    outcome.collapsed = true;
  }
  outcome.most_negative = own.most_negative();
  run.end_half(direction, outcome);
}

RunResult LikelihoodRun::run(SharedRun& run, StopCheck& stop) {
  run_half(run, ScanDirection::kForward, stop);
  run_half(run, ScanDirection::kBackward, stop);
  return run.result();
}

}  // namespace pelmora
