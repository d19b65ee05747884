// A joint likelihood scan over many short records (molecule bursts), as a
// burst analysis runs it through scan_records: every record for every
// coefficient, on each of the given thread counts in turn.
//
// usage: scan_records_bench THREADS REPEATS RUNS FILE...
//   THREADS  comma-separated worker counts, e.g. 1,2
//   REPEATS  how often each thread count runs (the best figure is the least
//            disturbed on a shared machine)
//   RUNS     coefficients, log-spaced over 1e-16 .. 1e-13 m^2/s
//   FILE...  photon files, one record each (bench/many_records.sh makes them)
//
// For each call: wall time, CPU time of the whole process (all threads: the
// task-clock) and its minor page faults, measured around the call alone;
// then the propagations of the scan (2 (N - 1) per record and coefficient
// while the rows fit the default memory budget), and whether every thread
// count gave the same bits.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/distance_grid.h"
#include "engine/likelihood_scan.h"
#include "pelmora/analysis.h"

namespace {

using namespace pelmora;

struct Usage {
  double cpu_seconds;
  long minor_faults;
};

Usage usage_now() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  const double cpu = static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
                     static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) * 1e-6;
  return {cpu, r.ru_minflt};
}

std::vector<int> thread_counts(const char* text) {
  std::vector<int> counts;
  for (const char* p = text; *p != '\0';) {
    char* end = nullptr;
    const long count = std::strtol(p, &end, 10);
    if (end == p || count < 1 || (*end != ',' && *end != '\0')) {
      std::fprintf(stderr, "bad thread list: %s\n", text);
      std::exit(1);
    }
    counts.push_back(static_cast<int>(count));
    p = *end == ',' ? end + 1 : end;
  }
  return counts;
}

bool same_bits(const LikelihoodTable& a, const LikelihoodTable& b) {
  if (a.cells.size() != b.cells.size()) return false;
  for (std::size_t i = 0; i < a.cells.size(); ++i) {
    const CoefficientRun& x = a.cells[i];
    const CoefficientRun& y = b.cells[i];
    if (std::memcmp(&x.log_likelihood, &y.log_likelihood, sizeof(double)) != 0 ||
        std::memcmp(&x.most_negative, &y.most_negative, sizeof(double)) != 0 ||
        x.boundary_photons != y.boundary_photons || x.left_out != y.left_out) {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: scan_records_bench THREADS REPEATS RUNS FILE...\n");
    return 1;
  }
  const std::vector<int> threads = thread_counts(argv[1]);
  const int repeats = std::max(1, std::atoi(argv[2]));
  const int runs = std::max(1, std::atoi(argv[3]));

  std::vector<PhotonList> records;
  for (int i = 4; i < argc; ++i) records.push_back(read_photon_file(argv[i], silent_observer()));
  std::vector<const PhotonList*> pointers;
  long long photons = 0;
  long long propagations = 0;
  for (const PhotonList& record : records) {
    pointers.push_back(&record);
    photons += record.photon_count;
    propagations += 2LL * (record.photon_count - 1) * runs;
  }
  const AnalysisSettings settings = derive_settings({});
  const DistanceGrid grid = make_distance_grid(settings);
  const std::vector<double> coefficients = log_spaced_coefficients(1e-16, 1e-13, runs);

  std::printf(
      "%zu records, %lld photons (%lld to %lld each), %d coefficients, %lld "
      "propagations\n",
      records.size(), photons,
      static_cast<long long>(
          std::min_element(records.begin(), records.end(),
                           [](auto& a, auto& b) { return a.photon_count < b.photon_count; })
              ->photon_count),
      static_cast<long long>(
          std::max_element(records.begin(), records.end(),
                           [](auto& a, auto& b) { return a.photon_count < b.photon_count; })
              ->photon_count),
      runs, propagations);
  std::printf("%8s %6s %10s %10s %12s\n", "threads", "repeat", "wall [s]", "cpu [s]",
              "minor faults");
  std::vector<LikelihoodTable> tables;
  for (int repeat = 0; repeat < repeats; ++repeat) {
    for (const int count : threads) {
      EngineOptions engine;
      engine.threads = count;
      const Usage before = usage_now();
      const auto start = std::chrono::steady_clock::now();
      LikelihoodTable table = scan_records(pointers, coefficients, grid, engine, silent_observer());
      const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
      const Usage after = usage_now();
      std::printf("%8d %6d %10.3f %10.3f %12ld\n", count, repeat + 1, wall.count(),
                  after.cpu_seconds - before.cpu_seconds, after.minor_faults - before.minor_faults);
      std::fflush(stdout);
      if (tables.empty() || !same_bits(tables.front(), table)) tables.push_back(std::move(table));
    }
  }
  std::printf("%s\n", tables.size() == 1 ? "every call gave the same bits"
                                         : "CALLS DIFFER IN THEIR RESULTS");
  return tables.size() == 1 ? 0 : 2;
}
