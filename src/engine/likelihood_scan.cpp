#include "engine/likelihood_scan.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/error.h"
#include "engine/likelihood_run.h"
#include "state/run_state.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

// Coefficient of run i: evenly spaced in log D between a = ln Dmin and
// b = ln Dmax; the quotient i/(n-1) is formed first.
double run_coefficient(double a, double b, int i, int runs) {
  return std::exp(a + (static_cast<double>(i) / (runs - 1)) * (b - a));
}

// Turns the log-likelihoods into P(D) over the runs: exp of the distance to
// the largest, zero from 100 below it on, divided by the sum.
void normalize_likelihoods(DVector& likelihood, int runs) {
  double maximum = -1e30;
  for (int i = 0; i < runs; ++i) {
    if (likelihood[i] > maximum) maximum = likelihood[i];
  }
  for (int i = 0; i < runs; ++i) {
    const double x = likelihood[i] - maximum;
    likelihood[i] = x > -100 ? std::exp(x) : 0.0;
  }
  double sum = 0.0;
  for (int i = 0; i < runs; ++i) sum += likelihood[i];
  if (sum > 0) {
    for (int i = 0; i < runs; ++i) likelihood[i] /= sum;
  }
}

// Results of the runs as the workers finish them, taken in run order.
class RunBoard {
 public:
  explicit RunBoard(int runs) : results_(static_cast<std::size_t>(runs)),
                                done_(static_cast<std::size_t>(runs), false) {}

  void post(int i, RunResult result) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      results_[static_cast<std::size_t>(i)] = std::move(result);
      done_[static_cast<std::size_t>(i)] = true;
    }
    posted_.notify_all();
  }

  const RunResult& wait(int i) {
    std::unique_lock<std::mutex> lock(mutex_);
    posted_.wait(lock, [&] { return done_[static_cast<std::size_t>(i)]; });
    return results_[static_cast<std::size_t>(i)];
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<RunResult> results_;
  std::vector<bool> done_;
};

}  // namespace

void likelihood_scan(RunState& state) {
  RunSettings& s = state.settings;
  const int runs = s.runs;
  const double a = std::log(s.min_coeff);
  const double b = std::log(s.max_coeff);
  std::vector<double> coefficients;
  for (int i = 0; i < runs; ++i) coefficients.push_back(run_coefficient(a, b, i, runs));

  // Every worker has its own propagator and rows, all created here.
  const int workers = std::clamp(state.engine.threads, 1, runs);
  const int spacing =
      state.engine.checkpoint_spacing > 0
          ? state.engine.checkpoint_spacing
          : checkpoint_spacing(state.photons.photon_count, s.internal_bins,
                               state.engine.row_storage_budget / static_cast<std::size_t>(workers));
  std::vector<std::unique_ptr<LikelihoodRun>> engines;
  for (int w = 0; w < workers; ++w) engines.push_back(std::make_unique<LikelihoodRun>(state, spacing));

  RunBoard board(runs);
  std::atomic<int> next_run{0};
  auto work = [&](LikelihoodRun& engine) {
    for (int i = next_run++; i < runs; i = next_run++) {
      board.post(i, engine.run(coefficients[static_cast<std::size_t>(i)]));
    }
  };
  std::vector<std::thread> threads;
  if (workers > 1) {
    for (auto& engine : engines) threads.emplace_back(work, std::ref(*engine));
  }
  state.console.write("\n");
  int collapsed = 0;
  for (int i = 0; i < runs; ++i) {
    const double coefficient = coefficients[static_cast<std::size_t>(i)];
    state.console.print("Run %3d of %3d:   D = %10.5e  m^2/s ", i + 1, runs, coefficient);
    if (workers == 1) board.post(i, engines.front()->run(coefficient));
    const RunResult& result = board.wait(i);
    s.diff_coeff = coefficient;
    state.run_diffusion[i] = coefficient;
    if (result.collapsed) {
      // Impossible photon colours were refused before the scan, so this is
      // rounding residue that swamped a distribution too narrow for the
      // grid.  The run has no likelihood; minus infinity gives it P(D) = 0.
      ++collapsed;
      state.run_likelihood[i] = -std::numeric_limits<double>::infinity();
      state.warn("    log L undefined    WARNING: distribution lost to rounding residue, D too "
                 "small; P(D) = 0");
      state.console.write("\n");
      continue;
    }
    state.run_likelihood[i] = result.log_likelihood;
    state.console.print("    log L = %10.5f", result.log_likelihood);
    state.boundary_artifact_count = result.boundary_photons;
    if (state.boundary_artifact_count > 0) state.warn("    WARNING: possible boundary artifacts");
    if (result.most_negative < -kResidueTolerance) {
      state.warn("    WARNING: rounding residue dominates, D too small");
    }
    state.console.write("\n");
  }
  for (std::thread& thread : threads) thread.join();
  if (collapsed == runs) {
    throw Error(ErrorKind::kComputation,
                format_text("\n\nERROR: No run of the likelihood scan kept its distance "
                            "distribution: rounding residue of the convolution outgrew it for "
                            "every D from %g to %g m^2/s. Scan larger diffusion coefficients.\n",
                            s.min_coeff, s.max_coeff));
  }
  normalize_likelihoods(state.run_likelihood, runs);
}

}  // namespace pelmora
