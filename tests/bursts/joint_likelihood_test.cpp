#include "bursts/joint_likelihood.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "bursts/measurement_builder.h"
#include "input/photon_parser.h"
#include "pelmora/measurement.h"

namespace pelmora::testing {
namespace {

bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// A burst's record is the one the photon reader makes of its exported file:
// here with simultaneous photons, one whose shift is lost to rounding, and
// both colours.
TEST(BurstRecord, IsTheRecordOfItsExportedFile) {
  const Measurement m = make_measurement(
      {1000, 1000, 1003, 1010, 1010, 1020, 1020 + 300000000, 1020 + 300000000}, "DADAADAD", 1e-6);
  const BurstWindow window{0, 0.0, 400.0};
  const BurstPhotons photons = burst_photons(m, window);
  const PhotonList record = burst_photon_list(m, window, silent_observer());
  PhotonList read;
  const PhotonParseOutcome outcome = parse_photon_text(burst_photon_text(photons), read);
  ASSERT_FALSE(outcome.error);
  ASSERT_EQ(record.photon_count, read.photon_count);
  for (int k = 0; k < read.photon_count; ++k) {
    const std::size_t i = static_cast<std::size_t>(k);
    EXPECT_TRUE(same_bits(record.photon_times[i], read.photon_times[i])) << k;
    EXPECT_EQ(record.photon_types[i], read.photon_types[i]) << k;
  }
  EXPECT_EQ(record.start_time, read.start_time);
  EXPECT_EQ(record.end_time, read.end_time);
}

// Each burst's log L is its own scan's, bit for bit; a burst that cannot be
// analysed at one coefficient is out of the sum at every coefficient; the
// joint log L sums the others in burst order.
TEST(JointLikelihood, SumsTheAnalysedBurstsInOrder) {
  AnalysisOptions options;
  options.distance_bins = 50;
  const AnalysisSettings settings = derive_settings(options);
  std::vector<PhotonList> bursts;
  std::mt19937 random(7);
  for (int b = 0; b < 5; ++b) {
    std::vector<double> times;
    std::vector<std::uint8_t> colours;
    double t = 0;
    for (int k = 0; k < 60; ++k) {
      t += 1 + random() % 40;
      times.push_back(t);
      colours.push_back(random() % 2);
    }
    bursts.push_back(photon_list_from_arrays(times, colours, silent_observer()));
  }
  // A burst without photons.
  bursts[1] = PhotonList{};
  bursts[1].photon_count = 0;
  const std::vector<double> coefficients = log_spaced_coefficients(1e-16, 1e-13, 4);
  std::vector<const PhotonList*> records;
  for (const PhotonList& burst : bursts) records.push_back(&burst);
  EngineOptions engine;
  engine.threads = 2;
  const JointScan joint = scan_bursts(records, coefficients, settings, engine, silent_observer());

  EXPECT_EQ(joint.bursts[1].left_out, LeftOut::kTooFewPhotons);
  EXPECT_EQ(joint.analysed, 4);
  std::vector<double> sum(coefficients.size(), 0.0);
  for (std::size_t b = 0; b < bursts.size(); ++b) {
    if (b == 1) continue;
    const LikelihoodScanResult alone = scan_likelihood(bursts[b], settings, coefficients);
    for (std::size_t i = 0; i < coefficients.size(); ++i) {
      EXPECT_TRUE(same_bits(joint.table.at(static_cast<int>(b), static_cast<int>(i)).log_likelihood,
                            alone.runs[i].log_likelihood));
      sum[i] += alone.runs[i].log_likelihood;
    }
  }
  for (std::size_t i = 0; i < coefficients.size(); ++i) {
    EXPECT_TRUE(same_bits(joint.joint_log_likelihood[i], sum[i])) << i;
  }
  EXPECT_EQ(joint.probability, normalize_likelihoods(sum));

  // A run lost at one coefficient takes the burst out of every sum.
  LikelihoodTable table = joint.table;
  table.cells[static_cast<std::size_t>(2 * table.runs + 3)].left_out = LeftOut::kCollapsed;
  const std::vector<int> counts(5, 60);
  const JointScan rejoined = join_bursts(coefficients, table, counts);
  EXPECT_EQ(rejoined.bursts[2].left_out, LeftOut::kCollapsed);
  EXPECT_EQ(rejoined.analysed, 3);
  for (std::size_t i = 0; i < coefficients.size(); ++i) {
    const double without = sum[i] - table.at(2, static_cast<int>(i)).log_likelihood;
    EXPECT_NEAR(rejoined.joint_log_likelihood[i], without, 1e-9 * std::abs(without));
  }
  // So is a run whose log L came out NaN (the residue drove the distribution
  // negative: the single-record program prints "-nan" for it): summed, it
  // would make the joint log L NaN.
  table.cells[static_cast<std::size_t>(2 * table.runs + 3)].left_out = LeftOut::kNo;
  table.cells[static_cast<std::size_t>(4 * table.runs)].log_likelihood = std::nan("");
  const JointScan without_nan = join_bursts(coefficients, table, counts);
  EXPECT_EQ(without_nan.bursts[4].left_out, LeftOut::kCollapsed);
  EXPECT_EQ(without_nan.analysed, 3);
  for (const double value : without_nan.joint_log_likelihood) EXPECT_TRUE(std::isfinite(value));
}

}  // namespace
}  // namespace pelmora::testing
