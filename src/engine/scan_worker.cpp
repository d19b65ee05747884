#include "engine/scan_worker.h"

#include <thread>

namespace pelmora {

ScanShares::ScanShares(std::size_t tasks, int workers, int lanes)
    : workers_(static_cast<std::size_t>(workers)),
      whole_(lanes == 1 && tasks > workers_ ? tasks - workers_ : 0),
      shares_(whole_ + 2 * (tasks - whole_)) {}

std::optional<ScanShares::Share> ScanShares::next(int running) {
  // Near the end each worker runs its part of the shares still running or
  // left, so that no worker takes them all while another waits idle.
  const std::size_t taken = next_.load(std::memory_order_relaxed);
  if (taken >= shares_) return std::nullopt;
  const std::size_t part =
      (shares_ - taken + running_.load(std::memory_order_relaxed) + workers_ - 1) / workers_;
  if (running > 0 && static_cast<std::size_t>(running) >= part) return std::nullopt;
  const std::size_t share = next_.fetch_add(1, std::memory_order_relaxed);
  if (share >= shares_) return std::nullopt;
  running_.fetch_add(1, std::memory_order_relaxed);
  if (share < whole_) return Share{share, ScanDirection::kForward, true};
  const std::size_t half = share - whole_;
  return Share{whole_ + half / 2,
               half % 2 == 0 ? ScanDirection::kForward : ScanDirection::kBackward, false};
}

void fail_shares(ScanContext& context, std::exception_ptr failure) {
  while (const std::optional<ScanShares::Share> share = context.shares.next(0)) {
    TaskRun& run = context.runs[share->task];
    for (const ScanDirection direction : {share->first, ScanDirection::kBackward}) {
      run.fail(direction, failure);
      if (run.leave()) run.post(share->task, context.board, context.pool);
      if (!share->both) break;
    }
    context.shares.ended();
  }
}

ScanWorker::ScanWorker(const DistanceGrid& grid, SimdPath path, ScanContext& context)
    : grid_(grid),
      context_(context),
      stop_(context.stop, nullptr),
      propagator_(grid, path),
      slots_(static_cast<std::size_t>(propagator_.lanes())) {
  steps_.reserve(slots_.size());
  asking_.reserve(slots_.size());
  ok_.resize(slots_.size());
}

ScanWorker::~ScanWorker() = default;

void ScanWorker::begin(Slot& slot, ScanDirection direction) {
  slot.direction = direction;
  const std::size_t t = slot.share.task;
  TaskRun& run = context_.runs[t];
  try {
    if (!slot.engine) slot.engine = std::make_unique<LikelihoodRun>(grid_);
    const ScanTask& task = context_.tasks[t];
    SharedRun* shared =
        run.join(context_.pool, *context_.records[static_cast<std::size_t>(task.record)],
                 context_.coefficients[static_cast<std::size_t>(task.run)]);
    if (shared != nullptr) {
      slot.task = slot.engine->half(*shared, direction, stop_);
      slot.task.resume();
      if (!slot.task.done()) return;
    }
  } catch (...) {
    // The report rethrows it when it reaches this task.
    run.fail(direction, std::current_exception());
  }
  end(slot);
}

void ScanWorker::end(Slot& slot) {
  const std::size_t t = slot.share.task;
  TaskRun& run = context_.runs[t];
  if (slot.task.valid()) {
    try {
      slot.task.rethrow();
    } catch (...) {
      run.fail(slot.direction, std::current_exception());
    }
    slot.task = ChainTask();
  }
  if (run.leave()) run.post(t, context_.board, context_.pool);
  // Once stopped, the backward half ends as soon as it begins.
  if (slot.share.both && slot.direction == ScanDirection::kForward) {
    begin(slot, ScanDirection::kBackward);
    return;
  }
  slot.running = false;
  --running_;
  context_.shares.ended();
}

bool ScanWorker::round() {
  for (Slot& slot : slots_) {
    while (!slot.running && !context_.stop.load(std::memory_order_relaxed)) {
      const std::optional<ScanShares::Share> share = context_.shares.next(running_);
      if (!share) break;
      slot.share = *share;
      slot.running = true;
      ++running_;
      begin(slot, share->first);
    }
  }
  if (running_ == 0) return false;

  steps_.clear();
  asking_.clear();
  for (std::size_t s = 0; s < slots_.size(); ++s) {
    if (!slots_[s].task.valid()) continue;
    if (const LaneStep* step = slots_[s].task.step()) {
      steps_.push_back(*step);
      asking_.push_back(static_cast<int>(s));
    }
  }
  if (steps_.empty()) {
    // Every chain waits for a chain of another worker.
    std::this_thread::yield();
  } else {
    propagator_.propagate(steps_, ok_);
    for (std::size_t i = 0; i < asking_.size(); ++i) {
      slots_[static_cast<std::size_t>(asking_[i])].task.answer(ok_[i] != 0);
    }
  }
  for (Slot& slot : slots_) {
    if (slot.task.valid()) slot.task.resume();
  }
  // The photons the chains weigh after their steps, all together.
  weighings_.clear();
  asking_.clear();
  for (std::size_t s = 0; s < slots_.size(); ++s) {
    if (!slots_[s].task.valid()) continue;
    if (const PhotonWeighing* photon = slots_[s].task.weighing()) {
      weighings_.push_back(*photon);
      asking_.push_back(static_cast<int>(s));
    }
  }
  if (!weighings_.empty()) {
    weigh_photons(weighings_, ok_);
    for (std::size_t i = 0; i < asking_.size(); ++i) {
      ChainTask& task = slots_[static_cast<std::size_t>(asking_[i])].task;
      task.answer(ok_[i] != 0);
      task.resume();
    }
  }
  for (Slot& slot : slots_) {
    if (slot.task.valid() && slot.task.done()) end(slot);
  }
  return true;
}

void ScanWorker::run() {
  while (round()) {
  }
}

}  // namespace pelmora
