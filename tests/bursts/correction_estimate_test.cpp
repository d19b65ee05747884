#include "bursts/correction_estimate.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <vector>

#include "bursts/corrections_file.h"
#include "support/caught_error.h"

namespace pelmora {
namespace {

constexpr double kLeakage = 0.07;
constexpr double kDirEx = 0.05;

// Donor-only bursts (S_raw 0.95) of n_da = 0.07 n_dd, acceptor-only ones
// (S_raw 0.05) of n_da = 0.07 n_dd + 0.05 n_aa, each give or take a noise
// that cancels over the population; FRET bursts (S_raw 0.5) besides.
std::vector<Burst> populations(int donor_only, int acceptor_only) {
  std::vector<Burst> bursts;
  const auto add = [&](double dd, double da, double aa, double s) {
    Burst burst;
    burst.streams.n_dd_corr = dd;
    burst.streams.n_da_corr = da;
    burst.streams.n_aa_corr = aa;
    burst.streams.S_raw = s;
    bursts.push_back(burst);
  };
  for (int k = 0; k < donor_only; ++k) {
    const double dd = 50 + k;
    add(dd, kLeakage * dd + (k % 2 ? 0.75 : -0.75), 0.5, 0.95);
    add(30, 30, 30, 0.5);
  }
  for (int k = 0; k < acceptor_only; ++k) {
    const double aa = 40 + k;
    add(2, kLeakage * 2 + kDirEx * aa + (k % 2 ? 0.5 : -0.5), aa, 0.05);
  }
  return bursts;
}

MeasurementDescription alex() {
  MeasurementDescription d;
  d.path = "m.h5";
  d.measurement_type = "smFRET-usALEX";
  d.alex = AlexSettings{};
  return d;
}

TEST(CorrectionEstimate, LeakageAndDirectExcitationOfTheSingleColourPopulations) {
  const std::vector<Burst> bursts = populations(30, 24);
  const CorrectionEstimate estimate = estimate_corrections(bursts, alex());
  ASSERT_TRUE(estimate.leakage.value && estimate.dir_ex.value);
  EXPECT_NEAR(*estimate.leakage.value, kLeakage, 1e-12);
  EXPECT_NEAR(*estimate.dir_ex.value, kDirEx, 1e-12);
  EXPECT_EQ(estimate.leakage.bursts, 30u);
  EXPECT_EQ(estimate.dir_ex.bursts, 24u);
  EXPECT_TRUE(estimate.dir_ex_after_estimated_leakage);
  for (const CoefficientEstimate* c : {&estimate.leakage, &estimate.dir_ex}) {
    ASSERT_TRUE(c->ci95);
    EXPECT_LT(c->ci95->low, *c->value);
    EXPECT_GT(c->ci95->high, *c->value);
    EXPECT_LT(c->ci95->high - c->ci95->low, 0.02);
    EXPECT_TRUE(c->reason.empty());
  }
  EXPECT_EQ(estimate.options_text(), "--leakage 0.07 --dir-ex 0.05");
  // A seed gives its resamples; another seed others.
  CorrectionEstimateOptions options;
  EXPECT_EQ(estimate_corrections(bursts, alex(), options).leakage.ci95->low,
            estimate.leakage.ci95->low);
  options.seed = 2;
  EXPECT_NE(estimate_corrections(bursts, alex(), options).leakage.ci95->low,
            estimate.leakage.ci95->low);

  // The file: every number as it was, the options ready to paste.
  const nlohmann::json json = nlohmann::json::parse(corrections_text(estimate, "test"));
  EXPECT_EQ(json["leakage"]["value"].get<double>(), *estimate.leakage.value);
  EXPECT_EQ(json["dir_ex"]["ci95"][1].get<double>(), estimate.dir_ex.ci95->high);
  EXPECT_EQ(json["dir_ex"]["leakage_used"].get<double>(), *estimate.leakage.value);
  EXPECT_EQ(json["leakage"]["population"], "S_raw > 0.9");
  EXPECT_EQ(json["dir_ex"]["bursts"], 24);
  EXPECT_TRUE(json["leakage"]["reason"].is_null());
  EXPECT_EQ(json["options"], "--leakage 0.07 --dir-ex 0.05");
  EXPECT_EQ(json["bootstrap"]["resamples"], 1000);
}

TEST(CorrectionEstimate, APopulationOfFewerThanTwentyBurstsGivesNoEstimate) {
  CorrectionEstimateOptions options;
  options.known_leakage = kLeakage;
  const CorrectionEstimate estimate = estimate_corrections(populations(19, 20), alex(), options);
  EXPECT_FALSE(estimate.leakage.value);
  EXPECT_FALSE(estimate.leakage.ci95);
  EXPECT_EQ(estimate.leakage.reason,
            "only 19 donor-only bursts (S_raw > 0.9); at least 20 are needed.");
  // Direct excitation after the known leakage.
  ASSERT_TRUE(estimate.dir_ex.value);
  EXPECT_NEAR(*estimate.dir_ex.value, kDirEx, 1e-12);
  EXPECT_FALSE(estimate.dir_ex_after_estimated_leakage);
  EXPECT_EQ(estimate.options_text(), "--dir-ex 0.05");
  const nlohmann::json json = nlohmann::json::parse(corrections_text(estimate, ""));
  EXPECT_TRUE(json["leakage"]["value"].is_null());
  EXPECT_TRUE(json["leakage"]["ci95"].is_null());
  EXPECT_EQ(json["dir_ex"]["leakage_used"].get<double>(), kLeakage);

  const CorrectionEstimate none = estimate_corrections(populations(5, 3), alex());
  EXPECT_FALSE(none.any());
  EXPECT_EQ(none.dir_ex.reason,
            "only 3 acceptor-only bursts (S_raw < 0.2); at least 20 are needed.");
  EXPECT_EQ(none.options_text(), "");

  MeasurementDescription plain = alex();
  plain.alex.reset();
  plain.measurement_type = "smFRET";
  const auto refused =
      testing::caught_error([&] { estimate_corrections(populations(30, 30), plain); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->message(),
            "Corrections estimate: leakage and direct excitation come from the donor-only and "
            "acceptor-only populations, told apart by the stoichiometry S, which needs acceptor "
            "excitation (smFRET-usALEX or smFRET-nsALEX); m.h5 is of type smFRET.");
}

}  // namespace
}  // namespace pelmora
