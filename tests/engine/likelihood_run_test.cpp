#include "engine/likelihood_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <thread>

#include "engine/likelihood_scan.h"
#include "engine/propagator.h"
#include "engine/scan_arithmetic.h"
#include "support/caught_error.h"
#include "support/engine_fixture.h"
#include "support/reference_engine.h"

namespace pelmora::testing {
namespace {

std::vector<PhotonRecipe> random_record(unsigned seed, int count) {
  std::mt19937 random(seed);
  std::vector<PhotonRecipe> photons;
  double t = 0.0;
  for (int i = 0; i < count; ++i) {
    if (random() % 15 != 0 || i == 0) t += 1.0 + random() % 80;  // else: a tie
    photons.push_back({t, random() % 3 == 0 ? kDonorPhoton : kAcceptorPhoton});
  }
  return photons;
}

bool bitwise_equal(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// How the two halves of a run are scheduled.
enum class Halves { kForwardFirst, kBackwardFirst, kSideBySide };

// One run of fresh engines with the given checkpoint spacing.
RunResult run_once(EngineFixture& run, int spacing, double diff_coeff,
                   Halves halves = Halves::kForwardFirst) {
  SharedRun shared(run.grid, std::size_t{1} << 30, spacing);
  shared.prepare(run.photons, diff_coeff);
  std::atomic<bool> never{false};
  StopCheck stop(never, nullptr);
  StopCheck other_stop(never, nullptr);
  LikelihoodRun engine(run.grid);
  LikelihoodRun other(run.grid);
  switch (halves) {
    case Halves::kForwardFirst:
      return engine.run(shared, stop);
    case Halves::kBackwardFirst:
      engine.run_half(shared, ScanDirection::kBackward, stop);
      engine.run_half(shared, ScanDirection::kForward, stop);
      break;
    case Halves::kSideBySide: {
      std::thread backward([&] { other.run_half(shared, ScanDirection::kBackward, other_stop); });
      engine.run_half(shared, ScanDirection::kForward, stop);
      backward.join();
      break;
    }
  }
  return shared.result();
}

// Whatever the checkpoint spacing, and whichever chain reaches a photon
// first, the recomputed rows are the very rows of the first pass: log L and
// the boundary count match the plain engine bit for bit.
TEST(LikelihoodRun, AnyCheckpointSpacingGivesTheReferenceResult) {
  for (int count : {3, 4, 5, 37, 120}) {
    const std::vector<PhotonRecipe> photons = random_record(static_cast<unsigned>(count), count);
    for (double diffusion : {0.05, 1.0, 40.0}) {
      EngineFixture reference(photons, 50, 2, 9, diffusion);
      const ReferenceRun expected = reference_likelihood_run(reference);
      EngineFixture run(photons, 50, 2, 9, diffusion);
      for (int spacing : {1, 2, 3, 7, 11, count}) {
        const RunResult plain = run_once(run, spacing, diffusion * 1e-14);
        for (Halves halves : {Halves::kForwardFirst, Halves::kBackwardFirst, Halves::kSideBySide}) {
          const RunResult result = run_once(run, spacing, diffusion * 1e-14, halves);
          EXPECT_TRUE(bitwise_equal(result.most_negative, plain.most_negative));
          ASSERT_FALSE(result.collapsed);
          EXPECT_TRUE(bitwise_equal(result.log_likelihood, expected.log_likelihood))
              << count << " photons, D " << diffusion << ", spacing " << spacing << ", halves "
              << static_cast<int>(halves) << ": " << result.log_likelihood << " vs "
              << expected.log_likelihood;
          EXPECT_EQ(result.boundary_photons, expected.boundary_photons);
        }
      }
    }
  }
}

TEST(LikelihoodRun, KeepsEveryRowWhenTheyFitTheBudget) {
  EXPECT_EQ(checkpoint_spacing(1002, 1200, 1000 * 1200 * 8), 1000);
  EXPECT_EQ(checkpoint_spacing(1002, 1200, 1000 * 1200 * 8 - 1), 32);  // ceil(sqrt(1000))
  EXPECT_EQ(checkpoint_spacing(3, 150, 0), 1);
}

// With N = 3 only the middle photon carries evidence: log L is the log of
// its colour probability under the product of the first photon's colour
// carried forward and the last photon's colour carried backward.
TEST(LikelihoodRun, ThreePhotonsGiveTheMiddlePhotonsColourProbability) {
  for (int middle : {kDonorPhoton, kAcceptorPhoton}) {
    EngineFixture run({{0, kDonorPhoton}, {30, middle}, {70, kAcceptorPhoton}}, 50, 2, 9);
    const int bins = run.bins();
    DVector forward = dvector(0, bins + 1);
    DVector backward = dvector(0, bins + 1);
    ASSERT_TRUE(run.propagate(run.grid.one_minus_efficiency.span(), forward.span(), 0.0));
    ASSERT_TRUE(run.propagate(forward.span(), forward.span(), 30.0));
    ASSERT_TRUE(run.propagate(run.grid.efficiency.span(), backward.span(), 0.0));
    ASSERT_TRUE(run.propagate(backward.span(), backward.span(), 40.0));
    const DVector& colour = run.grid.colour_probability(middle);
    double total = 0.0;
    double matching = 0.0;
    for (int k = 0; k < bins; ++k) {
      total += forward[k] * backward[k];
      matching += forward[k] * backward[k] * colour[k];
    }
    const RunResult result = run_once(run, 1, run.diff_coeff);
    EXPECT_TRUE(bitwise_equal(result.log_likelihood, std::log(matching / total)));
  }
}

std::string scan_console(const std::vector<PhotonRecipe>& photons, int threads, int spacing,
                         std::vector<double>& likelihoods) {
  EngineFixture run(photons, 50, 0, 13);
  run.engine.threads = threads;
  run.engine.checkpoint_spacing = spacing;
  const LikelihoodScanResult result =
      compute_likelihood_scan(run.photons, log_spaced_coefficients(0.05e-14, 50e-14, 7), run.grid,
                              run.engine, run.observer());
  likelihoods.clear();
  for (const CoefficientRun& c : result.runs) likelihoods.push_back(c.log_likelihood);
  likelihoods.insert(likelihoods.end(), result.probability.begin(), result.probability.end());
  return run.take_console();
}

// The runs may share out over threads, two threads to a run; the console
// lines come in run order and every number is the same, in row mode and with
// checkpoints every 1, 5 or 40 photons (the last stretch shorter).
TEST(LikelihoodScan, ThreadsChangeNothing) {
  const std::vector<PhotonRecipe> photons = random_record(11, 90);
  std::vector<double> expected;
  const std::string expected_text = scan_console(photons, 1, 0, expected);
  EXPECT_EQ(std::count(expected_text.begin(), expected_text.end(), '\n'), 8);
  for (int threads : {2, 3, 4, 8}) {
    for (int spacing : {0, 1, 5, 40}) {
      std::vector<double> likelihoods;
      EXPECT_EQ(scan_console(photons, threads, spacing, likelihoods), expected_text);
      for (int i = 0; i < 14; ++i) {
        EXPECT_TRUE(bitwise_equal(likelihoods[static_cast<std::size_t>(i)],
                                  expected[static_cast<std::size_t>(i)]));
      }
    }
  }
}

// A run whose distribution collapses has no likelihood; when every run
// collapses there is no P(D) to write.  (Here a donor photon on a grid below
// 0 nm forces the collapse; the run driver refuses such a record up front.)
TEST(LikelihoodScanTest, NoRunLeftEndsTheScan) {
  const std::string lost =
      "    log L undefined    WARNING: distribution lost to rounding residue, D too small; "
      "P(D) = 0\n";
  for (int threads : {1, 3}) {
    EngineFixture run({{0, kAcceptorPhoton}, {10, kDonorPhoton}, {20, kAcceptorPhoton}}, 50, -10,
                      -5);
    run.engine.threads = threads;
    const std::optional<Error> error = caught_error([&] {
      compute_likelihood_scan(run.photons, log_spaced_coefficients(1e-16, 1e-14, 3), run.grid,
                              run.engine, run.observer());
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), ErrorKind::kComputation);
    EXPECT_EQ(error->message(),
              "No run of the likelihood scan kept its distance distribution: rounding "
              "residue of the convolution outgrew it for every D from 1e-16 to 1e-14 m^2/s. Scan "
              "larger diffusion coefficients.");
    EXPECT_EQ(run.take_console(), "\nRun   1 of   3:   D = 1.00000e-16  m^2/s " + lost +
                                      "Run   2 of   3:   D = 1.00000e-15  m^2/s " + lost +
                                      "Run   3 of   3:   D = 1.00000e-14  m^2/s " + lost);
  }
}

// An observer that asks to stop whenever it is asked, and notes the runs
// reported to it.
class StoppingObserver : public Observer {
 public:
  void run_finished(const RunTicket& ticket, const CoefficientRun&) override {
    finished.push_back(ticket.run);
  }
  bool keep_going() override { return false; }

  std::vector<int> finished;
};

// Asked to stop, a scan ends with kCancelled on any number of threads, in row
// mode and with checkpoints, having reported only runs that were complete, in
// run order; no worker is left running (under the sanitizers one that was
// would touch the scan's freed memory).  The scan would take seconds; the
// observer is first asked after a twentieth of one.
TEST(LikelihoodScanTest, StopsWhenTheObserverSaysSo) {
  const std::vector<PhotonRecipe> photons = random_record(5, 3000);
  for (int threads : {1, 2, 3}) {
    for (int spacing : {0, 40}) {
      EngineFixture run(photons, 400, 0, 13);
      run.engine.threads = threads;
      run.engine.checkpoint_spacing = spacing;
      StoppingObserver observer;
      const std::optional<Error> error = caught_error([&] {
        compute_likelihood_scan(run.photons, log_spaced_coefficients(1e-15, 1e-13, 40), run.grid,
                                run.engine, observer);
      });
      ASSERT_TRUE(error) << threads << " threads, spacing " << spacing;
      EXPECT_EQ(error->kind(), ErrorKind::kCancelled);
      EXPECT_EQ(error->message(), "The analysis was stopped before it ended.");
      EXPECT_LT(observer.finished.size(), 40u);
      for (std::size_t i = 0; i < observer.finished.size(); ++i) {
        EXPECT_EQ(observer.finished[i], static_cast<int>(i));
      }
    }
  }
}

}  // namespace
}  // namespace pelmora::testing
