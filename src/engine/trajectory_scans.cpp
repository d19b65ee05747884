#include "engine/trajectory_scans.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "engine/photon_chain.h"
#include "engine/progress.h"
#include "engine/scan_failure.h"
#include "engine/time_grid.h"
#include "engine/vanished_distribution.h"
#include "state/run_state.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

struct DirectionOutcome {
  ScanOutcome photons;  // failure of the photon pass; step m = 1..N-1, or 0 at the start
  ScanOutcome slices;   // first failing slice in the grid scan's order; step q
};

const char* scan_name(ScanDirection direction, bool grid) {
  if (direction == ScanDirection::kForward) return grid ? "forward grid scan" : "forward photon scan";
  return grid ? "backward grid scan" : "backward photon scan";
}

const char* photon_heading(ScanDirection direction) {
  return direction == ScanDirection::kForward ? "Forward scan photons ...      "
                                              : "Backward scan photons ...     ";
}

const char* grid_heading(ScanDirection direction) {
  return direction == ScanDirection::kForward ? "Forward scan grid ...         "
                                              : "Backward scan grid ...        ";
}

// One pass over the photons in one direction.  Whenever the pass is at a
// photon, every slice that starts from that photon is propagated from its
// weighted vector into `grid`.  Photon progress goes to `console` as the pass
// runs.  Stops early when `cancel` is raised.
class DirectionScan {
 public:
  DirectionScan(const RunState& state, ScanDirection direction, FftWorkspace& workspace,
                DMatrix& grid)
      : state_(state),
        chain_(state, direction, workspace, state.settings.diff_coeff),
        workspace_(workspace),
        grid_(grid),
        schedule_(direction == ScanDirection::kForward
                      ? forward_slice_schedule(state.photons, state.settings.internal_time_bins)
                      : backward_slice_schedule(state.photons, state.settings.internal_time_bins)) {}

  double most_negative() const { return chain_.most_negative(); }

  DirectionOutcome run(Console& console, const std::atomic<bool>& cancel) {
    const ScanDirection direction = chain_.direction();
    const int count = state_.photons.photon_count;
    const int slices = state_.settings.internal_time_bins;
    next_slice_ = direction == ScanDirection::kForward ? 0 : slices - 1;

    console.write(photon_heading(direction));
    ProgressDisplay progress(console, count - 1);
    DirectionOutcome outcome;
    int k = chain_.first_photon();
    if (!chain_.start()) {
      outcome.photons = ScanFailure{0, photon_phrase(k)};
      return outcome;
    }
    propagate_slices(k, outcome);
    for (int m = 1; m < count; ++m) {
      if (cancel.load(std::memory_order_relaxed)) return outcome;
      progress.show(m);
      const int previous = k;
      k = chain_.next_photon(k);
      if (!chain_.advance(k)) {
        outcome.photons = ScanFailure{m, photon_phrase(previous)};
        return outcome;
      }
      propagate_slices(k, outcome);
    }
    console.write("  Done.\n");
    return outcome;
  }

 private:
  std::string photon_phrase(int photon) const {
    return after_photon(scan_name(chain_.direction(), false), state_, photon);
  }

  // The slices that start from photon k: a contiguous run of slices, taken in
  // the grid scan's own order.
  void propagate_slices(int k, DirectionOutcome& outcome) {
    const bool forward = chain_.direction() == ScanDirection::kForward;
    const int slices = state_.settings.internal_time_bins;
    const double photon_time = state_.photons.photon_times[k];
    const PropagationGrid grid{state_.settings.internal_bins, state_.settings.internal_rmin,
                               state_.settings.internal_rmax};
    const std::size_t bins = static_cast<std::size_t>(grid.bins);
    while (next_slice_ >= 0 && next_slice_ < slices &&
           schedule_.photon[static_cast<std::size_t>(next_slice_)] == k) {
      const int j = next_slice_;
      next_slice_ += forward ? 1 : -1;
      if (outcome.slices) continue;  // the scan has already failed there
      const double t = schedule_.time[static_cast<std::size_t>(j)];
      // The backward scan's last slice comes from the formula and may lie a
      // rounding error past the last photon: diffusion never runs backwards.
      const double step = forward ? t - photon_time : (photon_time - t > 0 ? photon_time - t : 0.0);
      if (!propagate(workspace_, grid, state_.settings.diff_coeff, chain_.weighted(),
                     {grid_.row(j), bins}, step)) {
        outcome.slices = ScanFailure{forward ? j : slices - 1 - j,
                                     format_text("%s at time slice %d (t=%f mu s)",
                                                 scan_name(chain_.direction(), true), j, t)};
      }
    }
  }

  const RunState& state_;
  PhotonChain chain_;
  FftWorkspace& workspace_;
  DMatrix& grid_;
  SliceSchedule schedule_;
  int next_slice_ = 0;
};

// The console text of a grid scan, up to its failing slice if it failed.
void show_grid_scan(RunState& state, ScanDirection direction, const ScanOutcome& failure) {
  const int slices = state.settings.internal_time_bins;
  state.console.write(grid_heading(direction));
  ProgressDisplay progress(state.console, slices - 1);
  const int shown = failure ? failure->step : slices - 1;
  for (int q = 0; q <= shown; ++q) progress.show(q);
  if (failure) report_vanished_distribution(failure->where, state.settings.diff_coeff);
  state.console.write("  Done.\n");
}

}  // namespace

void run_trajectory_scans(RunState& state) {
  const int bins = state.settings.internal_bins;
  const int slices = state.settings.internal_time_bins;
  state.grid_forward = dmatrix(0, slices + 1, 0, bins + 1);
  state.grid_backward = dmatrix(0, slices + 1, 0, bins + 1);

  // Everything the passes need is created here, before any thread starts, so
  // that an allocation failure ends the run from this thread.
  FftWorkspace backward_workspace = make_fft_workspace(bins);
  DirectionScan forward(state, ScanDirection::kForward, state.fft, state.grid_forward);
  DirectionScan backward(state, ScanDirection::kBackward, backward_workspace, state.grid_backward);
  ConsoleBuffer backward_text;
  std::atomic<bool> cancel{false};

  DirectionOutcome forward_outcome;
  DirectionOutcome backward_outcome;
  if (state.engine.threads >= 2) {
    std::thread backward_pass(
        [&] { backward_outcome = backward.run(backward_text.console(), cancel); });
    forward_outcome = forward.run(state.console, cancel);
    if (forward_outcome.photons) cancel.store(true, std::memory_order_relaxed);
    backward_pass.join();
    if (!forward_outcome.photons) state.console.write(backward_text.text());
  } else {
    forward_outcome = forward.run(state.console, cancel);
    if (!forward_outcome.photons) backward_outcome = backward.run(state.console, cancel);
  }

  // Failures are reported in the order in which the four scans would run one
  // after another.
  if (forward_outcome.photons) report_vanished_distribution(forward_outcome.photons->where,
                                 state.settings.diff_coeff);
  if (backward_outcome.photons) {
    report_vanished_distribution(backward_outcome.photons->where,
                                 state.settings.diff_coeff);
  }
  show_grid_scan(state, ScanDirection::kForward, forward_outcome.slices);
  show_grid_scan(state, ScanDirection::kBackward, backward_outcome.slices);

  const double residue = std::min(forward.most_negative(), backward.most_negative());
  if (residue < -kResidueTolerance) {
    state.console.print(
        "\nWARNING: negative weights down to %.1e in the scans: rounding residue of the "
        "convolution dominates. The diffusion coefficient D = %g m^2/s is too small for a "
        "reliable result.\n",
        residue, state.settings.diff_coeff);
    state.warnings_flag = 1;
  }
}

}  // namespace pelmora
