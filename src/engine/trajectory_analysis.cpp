#include "engine/trajectory_analysis.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>

#include "base/error.h"
#include "engine/boundary_check.h"
#include "engine/deferred_events.h"
#include "engine/diffusion_step.h"
#include "engine/photon_chain.h"
#include "engine/progress.h"
#include "engine/propagator.h"
#include "engine/scan_failure.h"
#include "engine/stop_check.h"
#include "engine/thread_start.h"
#include "engine/time_grid.h"
#include "engine/vanished_distribution.h"
#include "state/text_format.h"
#include "state/written_slices.h"

namespace pelmora {

namespace {

struct DirectionOutcome {
  ScanOutcome photons;  // failure of the photon pass; step m = 1..N-1, or 0 at the start
  ScanOutcome slices;   // first failing slice in the grid scan's order; step q
};

const char* scan_name(ScanDirection direction, bool grid) {
  if (direction == ScanDirection::kForward)
    return grid ? "forward grid scan" : "forward photon scan";
  return grid ? "backward grid scan" : "backward photon scan";
}

Pass photon_pass(ScanDirection direction) {
  return direction == ScanDirection::kForward ? Pass::kForwardPhotons : Pass::kBackwardPhotons;
}

Pass grid_pass(ScanDirection direction) {
  return direction == ScanDirection::kForward ? Pass::kForwardGrid : Pass::kBackwardGrid;
}

// One pass over the photons in one direction.  Whenever the pass is at a
// photon, every slice that starts from that photon is propagated from its
// weighted vector into `rows`.  Stops early when `stop` says so.
class DirectionScan {
 public:
  DirectionScan(const PhotonList& photons, const DistanceGrid& grid, double diff_coeff, int slices,
                ScanDirection direction, DMatrix& rows)
      : photons_(photons),
        grid_(grid),
        diff_coeff_(diff_coeff),
        slices_(slices),
        workspace_(make_fft_workspace(grid.points.bins)),
        chain_(grid, photons, direction, workspace_, diff_coeff),
        rows_(rows),
        schedule_(direction == ScanDirection::kForward ? forward_slice_schedule(photons, slices)
                                                       : backward_slice_schedule(photons, slices)) {
  }

  double most_negative() const { return chain_.most_negative(); }

  DirectionOutcome run(Observer& observer, StopCheck& stop) {
    const ScanDirection direction = chain_.direction();
    const int count = photons_.photon_count;
    next_slice_ = direction == ScanDirection::kForward ? 0 : slices_ - 1;

    observer.pass_started(photon_pass(direction));
    ProgressDisplay progress(observer, photon_pass(direction), count - 1);
    DirectionOutcome outcome;
    int k = chain_.first_photon();
    if (!chain_.start()) {
      outcome.photons = ScanFailure{0, photon_phrase(k)};
      return outcome;
    }
    propagate_slices(k, outcome);
    for (int m = 1; m < count; ++m) {
      if (stop()) return outcome;
      progress.show(m);
      const int previous = k;
      k = chain_.next_photon(k);
      if (!chain_.advance(k)) {
        outcome.photons = ScanFailure{m, photon_phrase(previous)};
        return outcome;
      }
      propagate_slices(k, outcome);
    }
    observer.pass_finished(photon_pass(direction));
    return outcome;
  }

 private:
  std::string photon_phrase(int photon) const {
    return after_photon(scan_name(chain_.direction(), false), photons_, photon);
  }

  // The slices that start from photon k: a contiguous run of slices, taken in
  // the grid scan's own order.
  void propagate_slices(int k, DirectionOutcome& outcome) {
    const bool forward = chain_.direction() == ScanDirection::kForward;
    const double photon_time = photons_.photon_times[static_cast<std::size_t>(k)];
    const std::size_t bins = static_cast<std::size_t>(grid_.points.bins);
    while (next_slice_ >= 0 && next_slice_ < slices_ &&
           schedule_.photon[static_cast<std::size_t>(next_slice_)] == k) {
      const int j = next_slice_;
      next_slice_ += forward ? 1 : -1;
      if (outcome.slices) continue;  // the scan has already failed there
      const double t = schedule_.time[static_cast<std::size_t>(j)];
      // The backward scan's last slice comes from the formula and may lie a
      // rounding error past the last photon: diffusion never runs backwards.
      const double step = forward ? t - photon_time : (photon_time - t > 0 ? photon_time - t : 0.0);
      if (!diffusion_step(workspace_, grid_, diff_coeff_, chain_.weighted(), {rows_.row(j), bins},
                          step)) {
        outcome.slices = ScanFailure{forward ? j : slices_ - 1 - j,
                                     format_text("%s at time slice %d (t=%f mu s)",
                                                 scan_name(chain_.direction(), true), j, t)};
      }
    }
  }

  const PhotonList& photons_;
  const DistanceGrid& grid_;
  double diff_coeff_;
  int slices_;
  FftWorkspace workspace_;
  PhotonChain chain_;
  DMatrix& rows_;
  SliceSchedule schedule_;
  int next_slice_ = 0;
};

// The progress of a grid scan, up to its failing slice if it failed.
void show_grid_scan(Observer& observer, ScanDirection direction, int slices,
                    const ScanOutcome& failure, double diff_coeff) {
  const Pass pass = grid_pass(direction);
  observer.pass_started(pass);
  ProgressDisplay progress(observer, pass, slices - 1);
  const int shown = failure ? failure->step : slices - 1;
  for (int q = 0; q <= shown; ++q) progress.show(q);
  if (failure) report_vanished_distribution(failure->where, diff_coeff);
  observer.pass_finished(pass);
}

[[noreturn]] void report_cancelled() {
  throw Error(ErrorKind::kCancelled, "The analysis was stopped before it ended.");
}

void require_time_axis(const PhotonList& photons) {
  if (photons.end_time == photons.start_time) {
    throw Error(ErrorKind::kInput,
                format_text("All %d photons arrive at the same time (t=%f mu s): the "
                            "record has no time axis for a distance distribution over time.",
                            photons.photon_count, photons.start_time));
  }
}

std::vector<double> slice_times(const PhotonList& photons, int slices) {
  std::vector<double> times(static_cast<std::size_t>(slices));
  for (int j = 0; j < slices; ++j) {
    times[static_cast<std::size_t>(j)] =
        j == 0            ? photons.start_time
        : j == slices - 1 ? photons.end_time
                          : slice_time(photons.start_time, photons.end_time, j, slices);
  }
  return times;
}

// A confined model's backward rows hold P_eq times the probability of the
// photons after the slice (its chains start from P_eq): divided by P_eq once
// here, forward times backward is P(r, t) up to its sum, as for free
// diffusion.
void divide_by_equilibrium(TrajectoryResult& result, const DiffusionModes& modes) {
  for (int j = 0; j < result.slice_count; ++j) {
    double* row = result.backward.row(j);
    for (int k = 0; k < modes.bins; ++k)
      row[k] *= modes.inverse_equilibrium[static_cast<std::size_t>(k)];
  }
}

// The boundary and overlap counts over the user's slices, and the warnings of
// the whole analysis in the order the command line shows them.  A confined
// model's grid ends where its probability ends: no slice reaches an edge
// that a wider range would move.
void summarise(TrajectoryResult& result) {
  const WrittenSlices slices(result);
  result.slices_without_overlap = slices.slices_without_overlap();
  result.boundary_slices = result.confined ? 0 : count_boundary_slices(result);
  if (result.slices_without_overlap > 0) {
    result.warnings.push_back(
        {WarningKind::kNoOverlap,
         format_text("forward and backward distributions do not overlap in %d of %d "
                     "time slices; written as zero probability.",
                     result.slices_without_overlap, slices.count()),
         0.0, result.slices_without_overlap, slices.count()});
  }
  if (result.boundary_slices > 0) {
    result.warnings.push_back(
        {WarningKind::kBoundarySlices,
         format_text("possible boundary artifacts (%d of %d time slices affected); enlarge "
                     "the [-min,-max] interval.",
                     result.boundary_slices, result.slice_count),
         0.0, result.boundary_slices, result.slice_count});
  }
}

}  // namespace

TrajectoryResult compute_trajectory(const PhotonList& photons, const DistanceGrid& grid,
                                    double diff_coeff, int time_bins, const EngineOptions& engine,
                                    Observer& observer) {
  require_time_axis(photons);
  const int bins = grid.points.bins;
  const int slices = time_bins + 2;

  TrajectoryResult result;
  result.grid = grid.points;
  result.diff_coeff = diff_coeff;
  result.time_bins = time_bins;
  result.slice_count = slices;
  result.t_first = photons.start_time;
  result.t_last = photons.end_time;
  result.slice_times = slice_times(photons, slices);
  result.forward = dmatrix(0, slices + 1, 0, bins + 1);
  result.backward = dmatrix(0, slices + 1, 0, bins + 1);

  // Everything the passes need is created here, before any thread starts, so
  // that an allocation failure is met on this thread.
  DirectionScan forward(photons, grid, diff_coeff, slices, ScanDirection::kForward, result.forward);
  DirectionScan backward(photons, grid, diff_coeff, slices, ScanDirection::kBackward,
                         result.backward);
  DeferredEvents backward_events;
  std::atomic<bool> stop{false};
  StopCheck caller_stop(stop, &observer);
  StopCheck worker_stop(stop, nullptr);

  DirectionOutcome forward_outcome;
  DirectionOutcome backward_outcome;
  std::exception_ptr backward_error;
  std::optional<std::jthread> backward_pass;
  if (engine.threads >= 2) {
    backward_pass = try_start_thread([&] {
      try {
        backward_outcome = backward.run(backward_events, worker_stop);
      } catch (...) {
        backward_error = std::current_exception();
      }
    });
    if (!backward_pass) {
      const Warning warning = fewer_threads_warning(1, 1);
      observer.warning(warning);
      result.warnings.push_back(warning);
    }
  }
  if (backward_pass) {
    {
      // Should the forward pass throw, the backward one is told to stop
      // before its thread is joined.
      const RaiseOnUnwind raise(stop);
      forward_outcome = forward.run(observer, caller_stop);
      if (forward_outcome.photons) stop.store(true, std::memory_order_relaxed);
    }
    backward_pass.reset();  // joins
    if (backward_error) std::rethrow_exception(backward_error);
    if (caller_stop.cancelled()) report_cancelled();
    if (!forward_outcome.photons) backward_events.replay(observer);
  } else {
    forward_outcome = forward.run(observer, caller_stop);
    if (caller_stop.cancelled()) report_cancelled();
    if (!forward_outcome.photons) {
      backward_outcome = backward.run(observer, caller_stop);
      if (caller_stop.cancelled()) report_cancelled();
    }
  }

  // Failures are reported in the order in which the four passes would run
  // one after another.
  if (forward_outcome.photons)
    report_vanished_distribution(forward_outcome.photons->where, diff_coeff);
  if (backward_outcome.photons) {
    report_vanished_distribution(backward_outcome.photons->where, diff_coeff);
  }
  show_grid_scan(observer, ScanDirection::kForward, slices, forward_outcome.slices, diff_coeff);
  show_grid_scan(observer, ScanDirection::kBackward, slices, backward_outcome.slices, diff_coeff);

  if (grid.modes) {
    result.confined = true;
    divide_by_equilibrium(result, *grid.modes);
  }
  result.most_negative = std::min(forward.most_negative(), backward.most_negative());
  if (result.most_negative < -kResidueTolerance) {
    const Warning residue{
        WarningKind::kRoundingResidue,
        format_text("negative weights down to %.1e in the scans: rounding residue of "
                    "the convolution dominates. The diffusion coefficient D = %g m^2/s is too "
                    "small for a reliable result.",
                    result.most_negative, diff_coeff),
        result.most_negative, 0, 0};
    observer.warning(residue);
    result.warnings.push_back(residue);
  }
  summarise(result);
  return result;
}

}  // namespace pelmora
