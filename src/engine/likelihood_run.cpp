#include "engine/likelihood_run.h"

#include <algorithm>
#include <thread>

#include "engine/diffusion_step.h"
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

PhotonWeighing LikelihoodRun::weighing(SharedRun& run, int k, const PhotonChain& own,
                                       std::span<const double> other) {
  const bool forward = own.direction() == ScanDirection::kForward;
  return {&run, k, forward ? own.propagated().data() : other.data(),
          forward ? other.data() : own.propagated().data()};
}

// The first chain to reach a block leaves what the second needs there: in
// row mode its row (propagated straight into the block's slot), in
// checkpoint mode its carried vector at the block's entry, after which it
// crosses the block.  The second chain weighs the block's photons: in row
// mode with the slot's row, in checkpoint mode with the first chain's rows
// of the block, which it recomputes from the checkpoint first.
ChainTask LikelihoodRun::half(SharedRun& run, ScanDirection direction, StopCheck& stop) {
  using Propagate = ChainTask::Propagate;
  PhotonChain& own = chain(direction);
  PhotonChain& other = chain(opposite(direction));
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
  if (going) {
    if (co_await Propagate{own.start_step()}) {
      own.started();
    } else {
      outcome.collapsed = true;
      going = false;
    }
  }
  const int blocks = run.blocks();
  for (int i = 0; going && i < blocks; ++i) {
    const int b = forward ? i : blocks - 1 - i;
    const bool first = run.claim(b);
    const int block_first = run.block_first(b);
    const int block_last = run.block_last(b);
    if (run.keeps_rows()) {
      if (!go_on(run, outcome, stop)) {
        going = false;
        break;
      }
      if (!co_await Propagate{
              own.step_to(block_first, first ? run.slot(b) : std::span<double>())}) {
        outcome.collapsed = true;
        going = false;
        break;
      }
      if (first) {
        run.publish(b);
        continue;
      }
    }
    if (!first) {
      // Waits, a round at a time, for the other chain to publish the block:
      // it claimed the block a step ago at most.
      while (going && !run.published(b)) {
        if (run.over() || stop()) {
          outcome.stopped = true;
          going = false;
        } else {
          co_await ChainTask::Pause{};
        }
      }
      if (!going) break;
    }
    if (run.keeps_rows()) {
      if (co_await ChainTask::Weigh{weighing(run, block_first, own, run.slot(b))}) {
        ++outcome.boundary_photons;
      }
      continue;
    }
    if (first) {
      copy_row(own.weighted(), run.slot(b));
      run.publish(b);
    } else {
      // The other chain's rows of the block, from its checkpoint.  It takes,
      // or has taken, these very steps; should one of them fail, that chain
      // ends the run as well.
      const bool other_forward = !forward;
      other.resume(other_forward ? block_first - 1 : block_last + 1, run.slot(b));
      for (int s = 0; going && s <= block_last - block_first; ++s) {
        const int k = other_forward ? block_first + s : block_last - s;
        if (!go_on(run, outcome, stop)) {
          going = false;
        } else if (!co_await Propagate{other.step_to(
                       k, rows_.row_span(static_cast<std::size_t>(k - block_first)))}) {
          outcome.collapsed = true;
          going = false;
        }
      }
    }
    // Across the block, weighing each photon with the other chain's
    // recomputed row when this chain is the second here.
    for (int s = 0; going && s <= block_last - block_first; ++s) {
      const int k = forward ? block_first + s : block_last - s;
      if (!go_on(run, outcome, stop)) {
        going = false;
      } else if (!co_await Propagate{own.step_to(k)}) {
        outcome.collapsed = true;
        going = false;
      } else if (!first &&
                 co_await ChainTask::Weigh{weighing(
                     run, k, own, rows_.row_span(static_cast<std::size_t>(k - block_first)))}) {
        ++outcome.boundary_photons;
      }
    }
  }
  // The chain's last step, to the photon at its far end: it weighs nothing,
  // but its weights count towards most_negative and it may collapse too.
  if (going && go_on(run, outcome, stop)) {
    const int last = forward ? run.photon_count() - 1 : 0;
    if (!co_await Propagate{own.step_to(last)}) outcome.collapsed = true;
  }
  outcome.most_negative = own.most_negative();
  run.end_half(direction, outcome);
}

void LikelihoodRun::run_half(SharedRun& run, ScanDirection direction, StopCheck& stop) {
  ChainTask task = half(run, direction, stop);
  const DistanceGrid& grid = run.grid();
  const std::size_t bins = static_cast<std::size_t>(bins_);
  for (task.resume(); !task.done(); task.resume()) {
    if (const LaneStep* step = task.step()) {
      task.answer(take_step(workspace_, grid, *step));
    } else if (const PhotonWeighing* photon = task.weighing()) {
      task.answer(
          photon->run->weigh(photon->photon, {photon->forward, bins}, {photon->backward, bins}));
    } else {
      std::this_thread::yield();  // waiting for the other chain on another thread
    }
  }
  task.rethrow();
}

RunResult LikelihoodRun::run(SharedRun& run, StopCheck& stop) {
  run_half(run, ScanDirection::kForward, stop);
  run_half(run, ScanDirection::kBackward, stop);
  return run.result();
}

}  // namespace pelmora
