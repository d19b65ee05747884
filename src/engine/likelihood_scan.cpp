#include "engine/likelihood_scan.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "base/error.h"
#include "engine/colour_check.h"
#include "engine/likelihood_run.h"
#include "engine/scan_arithmetic.h"
#include "engine/photon_chain.h"
#include "engine/stop_check.h"
#include "engine/thread_start.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

// One run to compute: a record and a coefficient.
struct Task {
  int record;
  int run;
};

// Results of the tasks as the workers finish them, taken in task order.
class TaskBoard {
 public:
  explicit TaskBoard(std::size_t tasks) : results_(tasks), failures_(tasks), done_(tasks, false) {}

  void post(std::size_t task, RunResult result) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      results_[task] = result;
      done_[task] = true;
    }
    posted_.notify_all();
  }

  void fail(std::size_t task, std::exception_ptr failure) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      failures_[task] = std::move(failure);
      done_[task] = true;
    }
    posted_.notify_all();
  }

  // Waits at most `patience` for the task; true once it is done.
  bool wait(std::size_t task, std::chrono::milliseconds patience) {
    std::unique_lock<std::mutex> lock(mutex_);
    return posted_.wait_for(lock, patience, [&] { return static_cast<bool>(done_[task]); });
  }

  // The result of a done task; rethrows what its worker met.
  RunResult take(std::size_t task) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failures_[task]) std::rethrow_exception(failures_[task]);
    return results_[task];
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<RunResult> results_;
  std::vector<std::exception_ptr> failures_;
  std::vector<char> done_;
};

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
  throw Error(ErrorKind::kCancelled, "\n\nERROR: The analysis was stopped before it ended.\n");
}

// The scan's schedule: tasks in report order, handed to the workers in that
// order, each worker with an engine of its own.
class Scan {
 public:
  Scan(std::span<const PhotonList* const> records, std::span<const double> coefficients,
       const DistanceGrid& grid, const EngineOptions& engine)
      : records_(records), coefficients_(coefficients), grid_(grid), engine_(engine) {}

  std::vector<Task>& tasks() { return tasks_; }

  // Computes the tasks on `workers` threads (at least 2) and hands each
  // result to `report` in task order.
  template <typename Report>
  void run_threaded(int workers, Observer& observer, Report& report) {
    TaskBoard board(tasks_.size());
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    const std::size_t budget = engine_.row_storage_budget / static_cast<std::size_t>(workers);
    auto work = [&] {
      std::optional<LikelihoodRun> engine;
      StopCheck worker_stop(stop, nullptr);
      const PhotonList* prepared = nullptr;
      for (int t = next++; t < static_cast<int>(tasks_.size()); t = next++) {
        const std::size_t index = static_cast<std::size_t>(t);
        if (stop.load(std::memory_order_relaxed)) {
          RunResult stopped;
          stopped.stopped = true;
          board.post(index, stopped);
          continue;
        }
        try {
          // Created in the thread that uses it, so that its rows are first
          // touched there.
          if (!engine) engine.emplace(grid_, budget, engine_.checkpoint_spacing);
          const Task& task = tasks_[index];
          const PhotonList* photons = records_[static_cast<std::size_t>(task.record)];
          if (photons != prepared) {
            engine->prepare(*photons);
            prepared = photons;
          }
          board.post(index, engine->run(coefficients_[static_cast<std::size_t>(task.run)],
                                        worker_stop));
        } catch (...) {
          // This worker is done for; the others go on until the report
          // reaches this task and rethrows.
          board.fail(index, std::current_exception());
          return;
        }
      }
    };
    std::vector<std::jthread> threads;
    const RaiseOnUnwind raise(stop);
    for (int w = 0; w < workers; ++w) {
      std::optional<std::jthread> thread = try_start_thread(work);
      if (thread) threads.push_back(std::move(*thread));
    }
    if (static_cast<int>(threads.size()) < workers) {
      observer.warning(fewer_threads_warning(workers - static_cast<int>(threads.size()), workers));
    }
    if (threads.empty()) {
      run_here(observer, report);
      return;
    }
    StopCheck caller(stop, &observer);
    for (std::size_t t = 0; t < tasks_.size(); ++t) {
      report.started(tasks_[t]);
      // Asked before every wait, not only when one times out: when each run
      // is done within a wait, the observer must still be asked every so
      // often (poll keeps to its interval).
      do {
        caller.poll();
        if (caller.cancelled()) report_cancelled();
      } while (!board.wait(t, std::chrono::milliseconds(50)));
      const RunResult result = board.take(t);
      if (result.stopped) report_cancelled();
      report.finished(tasks_[t], result);
    }
  }

  // Computes the tasks one after another on this thread.
  template <typename Report>
  void run_here(Observer& observer, Report& report) {
    if (tasks_.empty()) return;
    std::atomic<bool> stop{false};
    StopCheck caller(stop, &observer);
    LikelihoodRun engine(grid_, engine_.row_storage_budget, engine_.checkpoint_spacing);
    const PhotonList* prepared = nullptr;
    for (const Task& task : tasks_) {
      report.started(task);
      const PhotonList* photons = records_[static_cast<std::size_t>(task.record)];
      if (photons != prepared) {
        engine.prepare(*photons);
        prepared = photons;
      }
      const RunResult result = engine.run(coefficients_[static_cast<std::size_t>(task.run)], caller);
      if (result.stopped) report_cancelled();
      report.finished(task, result);
    }
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
    verdicts[static_cast<std::size_t>(r)] = record_verdict(*records[static_cast<std::size_t>(r)], grid);
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

  const int workers =
      std::clamp(engine.threads, 1, std::max(static_cast<int>(scan.tasks().size()), 1));
  if (workers > 1) {
    scan.run_threaded(workers, observer, report);
  } else {
    scan.run_here(observer, report);
  }
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
  const bool any_left = std::any_of(result.runs.begin(), result.runs.end(),
                                    [](const CoefficientRun& run) { return run.left_out == LeftOut::kNo; });
  if (!any_left && !result.runs.empty()) {
    throw Error(ErrorKind::kComputation,
                format_text("\n\nERROR: No run of the likelihood scan kept its distance "
                            "distribution: rounding residue of the convolution outgrew it for "
                            "every D from %g to %g m^2/s. Scan larger diffusion coefficients.\n",
                            coefficients.front(), coefficients.back()));
  }
  std::vector<double> log_likelihoods;
  log_likelihoods.reserve(result.runs.size());
  for (const CoefficientRun& run : result.runs) log_likelihoods.push_back(run.log_likelihood);
  result.probability = normalize_likelihoods(log_likelihoods);
  return result;
}

}  // namespace pelmora
