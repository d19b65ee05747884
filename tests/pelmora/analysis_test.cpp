// The library as its callers use it: many analyses at once on several
// threads, each a function of its arguments, and refusals of bad arguments.
#include "pelmora/analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "support/caught_error.h"

namespace pelmora::testing {
namespace {

struct Job {
  std::vector<double> times;
  std::vector<std::uint8_t> acceptor;
  AnalysisSettings settings;
};

// Everything an analysis of a job gives, reduced to bits that can be
// compared exactly.
struct Outcome {
  std::string error;
  std::uint64_t trajectory_bits = 0;
  std::vector<double> log_likelihoods;
  std::vector<double> probability;
  bool operator==(const Outcome&) const = default;
};

std::uint64_t mix(std::uint64_t hash, const void* data, std::size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < bytes; ++i) hash = (hash ^ p[i]) * 0x100000001b3u;
  return hash;
}

Outcome analyse(const Job& job, int threads) {
  Outcome outcome;
  EngineOptions engine;
  engine.threads = threads;
  try {
    const PhotonList photons = photon_list_from_arrays(job.times, job.acceptor, silent_observer());
    TrajectoryOptions options;
    options.time_bins = 20;
    const TrajectoryResult trajectory = analyse_trajectory(photons, job.settings, options, engine);
    std::uint64_t hash = 0xcbf29ce484222325u;
    const std::size_t row_bytes = sizeof(double) * static_cast<std::size_t>(trajectory.grid.bins);
    for (int j = 0; j < trajectory.slice_count; ++j) {
      hash = mix(hash, trajectory.forward.row(j), row_bytes);
      hash = mix(hash, trajectory.backward.row(j), row_bytes);
    }
    outcome.trajectory_bits = hash;
    const LikelihoodScanResult scan =
        scan_likelihood(photons, job.settings, log_spaced_coefficients(0.1e-14, 10e-14, 3), engine);
    for (const CoefficientRun& run : scan.runs)
      outcome.log_likelihoods.push_back(run.log_likelihood);
    outcome.probability = scan.probability;
  } catch (const Error& error) {
    outcome.error = error.message();
  }
  return outcome;
}

// 200 records of 100 to 300 photons; record 137 is analysed on a distance
// range wholly below 0 nm, where its donor photons are impossible.
std::vector<Job> jobs() {
  std::mt19937 random(2024);
  AnalysisOptions options;
  options.distance_bins = 50;
  const AnalysisSettings usual = derive_settings(options);
  options.min_distance = -10;
  options.max_distance = -5;
  const AnalysisSettings impossible = derive_settings(options);
  std::vector<Job> jobs(200);
  for (std::size_t r = 0; r < jobs.size(); ++r) {
    Job& job = jobs[r];
    const int count = 100 + static_cast<int>(random() % 201);
    double t = 0.0;
    for (int k = 0; k < count; ++k) {
      t += 1.0 + static_cast<double>(random() % 4000) / 100.0;
      job.times.push_back(t);
      job.acceptor.push_back(random() % 5 < 2 ? 1 : 0);
    }
    job.settings = r == 137 ? impossible : usual;
  }
  return jobs;
}

// Two callers on two threads, each analysis with two worker threads of its
// own: every result is the one the record gets when analysed alone, and the
// one failing record reports its error and nothing else does.
TEST(Library, ConcurrentAnalysesGiveTheResultsOfEachAlone) {
  const std::vector<Job> batch = jobs();
  std::vector<Outcome> alone;
  for (const Job& job : batch) alone.push_back(analyse(job, 1));

  std::vector<Outcome> together(batch.size());
  auto caller = [&](std::size_t first) {
    for (std::size_t r = first; r < batch.size(); r += 2) together[r] = analyse(batch[r], 2);
  };
  std::thread other(caller, 1);
  caller(0);
  other.join();

  for (std::size_t r = 0; r < batch.size(); ++r) {
    EXPECT_TRUE(together[r] == alone[r]) << "record " << r;
    EXPECT_EQ(alone[r].error.empty(), r != 137) << "record " << r << ": " << alone[r].error;
  }
  EXPECT_NE(alone[137].error.find("allows a donor photon"), std::string::npos);
}

// Bad arguments are refused with a message that says what is wrong, before
// anything is computed.
TEST(Library, RefusedArguments) {
  const double nan = std::nan("");
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    std::vector<double> times;
    std::vector<std::uint8_t> acceptor;
    const char* message;
  };
  const Case cases[] = {
      {"two photons", {0, 1}, {0, 1}, "Too few photons (2)."},
      {"lengths differ",
       {0, 1, 2},
       {0, 1},
       "3 arrival times but 2 colours: give one colour per photon."},
      {"decreasing",
       {0, 2, 1},
       {0, 1, 0},
       "Photon at index 2: arrival time 1.000000 mu s is earlier than the one before it "
       "(2.000000 mu s); photon times must not decrease."},
      {"colour 2",
       {0, 1, 2},
       {0, 2, 0},
       "Photon at index 1: colour 2 is neither donor (0) nor acceptor (1)."},
      {"nan",
       {0, nan, 2},
       {0, 1, 0},
       "Photon at index 1: arrival time nan mu s is not a finite single-precision "
       "number."},
      {"beyond float",
       {0, 1, 1e39},
       {0, 1, 0},
       "Photon at index 2: arrival time 1e+39 mu s is not a finite single-precision "
       "number."},
      {"infinite",
       {-inf, 1, 2},
       {0, 1, 0},
       "Photon at index 0: arrival time -inf mu s is not a finite single-precision "
       "number."},
  };
  for (const Case& c : cases) {
    const std::optional<Error> error =
        caught_error([&] { photon_list_from_arrays(c.times, c.acceptor, silent_observer()); });
    ASSERT_TRUE(error) << c.name;
    EXPECT_EQ(error->kind(), ErrorKind::kInput) << c.name;
    EXPECT_EQ(error->message(), c.message) << c.name;
  }

  const std::vector<double> times = {0, 10, 20, 30};
  const std::vector<std::uint8_t> colours = {1, 0, 1, 0};
  const PhotonList photons = photon_list_from_arrays(times, colours, silent_observer());
  const AnalysisSettings settings = derive_settings({});
  const std::vector<double> no_coefficients;
  const std::vector<double> negative = {1e-14, -1e-14};
  TrajectoryOptions slow;
  slow.diff_coeff = 0.0;
  TrajectoryOptions too_few_slices;
  too_few_slices.time_bins = 3;
  const struct {
    const char* name;
    std::function<void()> call;
    const char* message;
  } analyses[] = {
      {"no coefficients", [&] { scan_likelihood(photons, settings, no_coefficients); },
       "No diffusion coefficients to scan."},
      {"negative coefficient", [&] { scan_likelihood(photons, settings, negative); },
       "Diffusion coefficient -1e-14 m^2/s must be a positive finite number."},
      {"zero coefficient", [&] { analyse_trajectory(photons, settings, slow); },
       "Diffusion coefficient 0 m^2/s must be a positive finite number."},
      {"three slices", [&] { analyse_trajectory(photons, settings, too_few_slices); },
       "number of time slices (3) must be > 3."},
  };
  for (const auto& c : analyses) {
    const std::optional<Error> error = caught_error(c.call);
    ASSERT_TRUE(error) << c.name;
    EXPECT_EQ(error->kind(), ErrorKind::kInput) << c.name;
    EXPECT_EQ(error->message(), c.message) << c.name;
  }
}

// Arrays and the text reader hold photons alike: single precision, and a
// photon at the time of the one before moved 0.01 mu s later with a warning.
TEST(Library, ArraysAreHeldLikeTheFileReaderHoldsThem) {
  struct Collect : Observer {
    std::vector<std::string> texts;
    void warning(const Warning& w) override { texts.push_back(w.text); }
  } observer;
  const std::vector<double> times = {0.1, 5.000000001, 5.0, 262144.0, 262144.0};
  const std::vector<std::uint8_t> colours = {1, 0, 1, 0, 1};
  const PhotonList photons = photon_list_from_arrays(times, colours, observer);
  EXPECT_EQ(photons.photon_times[0], static_cast<double>(0.1f));
  EXPECT_EQ(photons.photon_times[1], 5.0);  // 5.000000001 rounds to 5 in single precision
  EXPECT_EQ(photons.photon_times[2], static_cast<double>(static_cast<float>(5.0 + 0.01)));
  EXPECT_EQ(photons.photon_times[4], 262144.0);  // the shift is lost to rounding
  ASSERT_EQ(observer.texts.size(), 2u);
  EXPECT_EQ(observer.texts[0], "Simultaneous photons found (t=5.000000). Shifted one a bit.");
  EXPECT_EQ(photons.start_time, photons.photon_times[0]);
  EXPECT_EQ(photons.end_time, photons.photon_times[4]);
}

// An observer that says stop stops a scan whose runs are each shorter than
// the engine's waits, on the calling thread and with worker threads alike.
TEST(Library, ScanOfShortRunsAsksTheObserverToGoOn) {
  struct Stop : Observer {
    int asked = 0;
    bool keep_going() override {
      ++asked;
      return false;
    }
  };
  std::mt19937 random(7);
  std::vector<double> times;
  std::vector<std::uint8_t> colours;
  for (int k = 0; k < 300; ++k) {
    times.push_back(20.0 * k + static_cast<double>(random() % 1000) / 100.0);
    colours.push_back(random() % 2);
  }
  const PhotonList photons = photon_list_from_arrays(times, colours, silent_observer());
  AnalysisOptions options;
  options.distance_bins = 50;
  for (const int threads : {1, 2}) {
    Stop observer;
    EngineOptions engine;
    engine.threads = threads;
    const std::optional<Error> error = caught_error([&] {
      scan_likelihood(photons, derive_settings(options),
                      log_spaced_coefficients(1e-15, 1e-13, 1000), engine, observer);
    });
    ASSERT_TRUE(error.has_value()) << threads << " threads";
    EXPECT_EQ(error->kind(), ErrorKind::kCancelled);
    EXPECT_EQ(observer.asked, 1);
  }
}

}  // namespace
}  // namespace pelmora::testing
