#include "engine/likelihood_scan.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>
#include <thread>
#include <vector>

#include "base/error.h"
#include "engine/colour_check.h"
#include "engine/lane_propagator.h"
#include "engine/likelihood_run.h"
#include "engine/photon_chain.h"
#include "engine/scan_arithmetic.h"
#include "engine/scan_worker.h"
#include "engine/shared_run.h"
#include "engine/stop_check.h"
#include "engine/task_board.h"
#include "engine/task_run.h"
#include "engine/thread_start.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

using Task = ScanTask;

// Why a whole record is left out, if it is.
LeftOut record_verdict(const PhotonList& photons, const DistanceGrid& grid) {
  if (photons.photon_count < 3) return LeftOut::kTooFewPhotons;
  if (impossible_colours(grid, photons)) return LeftOut::kImpossibleColours;
  return LeftOut::kNo;
}

CoefficientRun as_coefficient_run(double diff_coeff, const RunResult& result) {
  CoefficientRun run;
  run.diff_coeff = diff_coeff;
  if (result.collapsed) {
    // Impossible photon colours are refused before the scan, so this is
    // rounding residue that swamped a distribution too narrow for the grid.
    // The run has no likelihood; minus infinity gives it P(D) = 0.
    run.log_likelihood = kMinusInfinity;
    run.left_out = LeftOut::kCollapsed;
    return run;
  }
  run.log_likelihood = result.log_likelihood;
  run.boundary_photons = result.boundary_photons;
  run.most_negative = result.most_negative;
  run.residue_dominates = result.most_negative < -kResidueTolerance;
  return run;
}

[[noreturn]] void report_cancelled() {
  throw Error(ErrorKind::kCancelled, "The analysis was stopped before it ended.");
}

// The scan's schedule: tasks in report order, computed by the workers
// (engine/scan_worker.h) and reported in that order.  Each worker has an
// engine per chain slot; the runs' storage is lent from task to task.
class Scan {
 public:
  Scan(std::span<const PhotonList* const> records, std::span<const double> coefficients,
       const DistanceGrid& grid, const EngineOptions& engine)
      : records_(records), coefficients_(coefficients), grid_(grid), engine_(engine) {}

  std::vector<Task>& tasks() { return tasks_; }

  // Computes the tasks on `workers` threads (this one alone for 1) and hands
  // each result to `report` in task order.
  template <typename Report>
  void run(int workers, Observer& observer, Report& report) {
    const std::size_t tasks = tasks_.size();
    if (tasks == 0) return;
    const int lanes = LanePropagator::lanes_for(grid_, engine_.simd);
    const std::size_t slots = static_cast<std::size_t>(workers) * static_cast<std::size_t>(lanes);
    TaskBoard board(tasks);
    std::vector<TaskRun> runs(tasks);
    // At most one run per slot is in progress at any time.
    RunPool pool(grid_, engine_.row_storage_budget / slots, engine_.checkpoint_spacing);
    ScanShares shares(tasks, workers, lanes);
    std::atomic<bool> stop{false};
    ScanContext context{records_, coefficients_, tasks_, runs, pool, board, shares, stop};
    const RaiseOnUnwind raise(stop);
    StopCheck caller(stop, &observer);
    std::size_t next = 0;
    // Reports the tasks done so far, in order; with `patience`, waits that
    // long for the next one.
    auto report_done = [&](std::optional<std::chrono::milliseconds> patience) {
      while (next < tasks) {
        caller.poll();
        if (caller.cancelled()) report_cancelled();
        if (!(patience ? board.wait(next, *patience) : board.done(next))) return;
        report.started(tasks_[next]);
        const RunResult result = board.take(next);
        if (result.stopped) report_cancelled();
        report.finished(tasks_[next], result);
        ++next;
      }
    };

    std::vector<std::jthread> threads;
    if (workers > 1) {
      for (int w = 0; w < workers; ++w) {
        std::optional<std::jthread> thread = try_start_thread([&] {
          // Created in the thread that uses it, so that its storage is first
          // touched there.
          std::optional<ScanWorker> worker;
          try {
            worker.emplace(grid_, engine_.simd, context);
          } catch (...) {
            // The report rethrows it when it reaches a task of this worker.
            fail_shares(context, std::current_exception());
            return;
          }
          worker->run();
        });
        if (thread) threads.push_back(std::move(*thread));
      }
      if (static_cast<int>(threads.size()) < workers) {
        observer.warning(
            fewer_threads_warning(workers - static_cast<int>(threads.size()), workers));
      }
    }
    if (threads.empty()) {
      // This thread works, and reports between its rounds.
      ScanWorker worker(grid_, engine_.simd, context);
      while (worker.round()) report_done(std::nullopt);
    }
    // Asked before every wait, not only when one times out: when each run is
    // done within a wait, the observer must still be asked every so often
    // (poll keeps to its interval).
    while (next < tasks) report_done(std::chrono::milliseconds(50));
  }

 private:
  std::span<const PhotonList* const> records_;
  std::span<const double> coefficients_;
  const DistanceGrid& grid_;
  const EngineOptions& engine_;
  std::vector<Task> tasks_;
};

}  // namespace

LikelihoodTable scan_records(std::span<const PhotonList* const> records,
                             std::span<const double> coefficients, const DistanceGrid& grid,
                             const EngineOptions& engine, Observer& observer) {
  LikelihoodTable table;
  table.records = static_cast<int>(records.size());
  table.runs = static_cast<int>(coefficients.size());
  table.cells.resize(records.size() * coefficients.size());
  auto cell = [&](int record, int run) -> CoefficientRun& {
    return table.cells[static_cast<std::size_t>(record) * coefficients.size() +
                       static_cast<std::size_t>(run)];
  };
  auto ticket = [&](const Task& task) {
    return RunTicket{task.record, table.records, task.run, table.runs,
                     coefficients[static_cast<std::size_t>(task.run)]};
  };

  // Every cell in report order: a left-out record's cells are reported as
  // they come, the others are computed.
  Scan scan(records, coefficients, grid, engine);
  std::vector<LeftOut> verdicts(records.size());
  for (int r = 0; r < table.records; ++r) {
    verdicts[static_cast<std::size_t>(r)] =
        record_verdict(*records[static_cast<std::size_t>(r)], grid);
    for (int i = 0; i < table.runs; ++i) {
      CoefficientRun& c = cell(r, i);
      c.diff_coeff = coefficients[static_cast<std::size_t>(i)];
      if (verdicts[static_cast<std::size_t>(r)] != LeftOut::kNo) {
        c.log_likelihood = kMinusInfinity;
        c.left_out = verdicts[static_cast<std::size_t>(r)];
      } else {
        scan.tasks().push_back({r, i});
      }
    }
  }

  // Reports the computed runs in order, and the left-out ones where they fall.
  struct Report {
    LikelihoodTable& table;
    const std::vector<LeftOut>& verdicts;
    Observer& observer;
    decltype(ticket)& make_ticket;
    decltype(cell)& cell_of;
    int next_record = 0;  // left-out records before it have been reported

    void left_out_until(int record) {
      for (; next_record < record; ++next_record) {
        if (verdicts[static_cast<std::size_t>(next_record)] == LeftOut::kNo) continue;
        for (int i = 0; i < table.runs; ++i) {
          const Task task{next_record, i};
          observer.run_started(make_ticket(task));
          observer.run_finished(make_ticket(task), cell_of(next_record, i));
        }
      }
    }
    void started(const Task& task) {
      left_out_until(task.record);
      observer.run_started(make_ticket(task));
    }
    void finished(const Task& task, const RunResult& result) {
      CoefficientRun& c = cell_of(task.record, task.run);
      c = as_coefficient_run(c.diff_coeff, result);
      observer.run_finished(make_ticket(task), c);
      next_record = task.record;
    }
  } report{table, verdicts, observer, ticket, cell};

  // Two workers can share one run.
  const int workers = static_cast<int>(
      std::clamp<std::size_t>(static_cast<std::size_t>(std::max(engine.threads, 1)), 1,
                              std::max<std::size_t>(2 * scan.tasks().size(), 1)));
  scan.run(workers, observer, report);
  report.left_out_until(table.records);
  return table;
}

LikelihoodScanResult compute_likelihood_scan(const PhotonList& photons,
                                             std::span<const double> coefficients,
                                             const DistanceGrid& grid, const EngineOptions& engine,
                                             Observer& observer) {
  const PhotonList* const records[] = {&photons};
  LikelihoodTable table = scan_records(records, coefficients, grid, engine, observer);
  LikelihoodScanResult result;
  result.runs = std::move(table.cells);
  const bool any_left =
      std::any_of(result.runs.begin(), result.runs.end(),
                  [](const CoefficientRun& run) { return run.left_out == LeftOut::kNo; });
  if (!any_left && !result.runs.empty()) {
    throw Error(ErrorKind::kComputation,
                format_text("No run of the likelihood scan kept its distance "
                            "distribution: rounding residue of the convolution outgrew it for "
                            "every D from %g to %g m^2/s. Scan larger diffusion coefficients.",
                            coefficients.front(), coefficients.back()));
  }
  std::vector<double> log_likelihoods;
  log_likelihoods.reserve(result.runs.size());
  for (const CoefficientRun& run : result.runs) log_likelihoods.push_back(run.log_likelihood);
  result.probability = normalize_likelihoods(log_likelihoods);
  return result;
}

}  // namespace pelmora
