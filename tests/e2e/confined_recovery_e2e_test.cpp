// A confined model with the background mixed in finds the D of molecules
// simulated in that model, where free diffusion, which lets the distance
// spread without limit and takes background photons for signal, is biased
// low.  Small and quick: 20 s of measurement, some 170 bursts; the
// 1000-burst version is bench/confined_recovery.sh.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/run_binary.h"

namespace pelmora::testing {
namespace {

std::string beside_pelmora(const char* name) {
  return (std::filesystem::path(PELMORA_BINARY).parent_path() / name).string();
}

struct Estimate {
  double d = 0;
  double low = 0;
  double high = 0;
};

Estimate scan(const ScratchDir& folder, const std::string& model) {
  const ProcessResult scanned =
      run_program(beside_pelmora("pelmora-bursts"),
                  {"scan", "m.h5", "-d", "60", "-Dmin", "0.4", "-Dmax", "2.5", "-n", "6",
                   "--bootstrap", "200", "--model", model, "--background",
                   model == "free" ? "off" : "auto", "--summary", "summary.json", "-q"},
                  folder.path(), {"PELMORA_THREADS=2"});
  EXPECT_EQ(scanned.status, 0) << scanned.standard_error;
  const nlohmann::json summary = nlohmann::json::parse(folder.read("summary.json"));
  EXPECT_EQ(summary["model"], model);
  return {summary["D_m2_per_s"], summary["ci95_m2_per_s"][0], summary["ci95_m2_per_s"][1]};
}

TEST(ConfinedRecovery, RightModelAndBackgroundFindTheSimulatedD) {
  constexpr double kTruth = 1e-14;
  for (const char* model : {"chain:6", "box:2:10"}) {
    SCOPED_TRACE(model);
    const ScratchDir folder;
    const ProcessResult simulated = run_program(
        beside_pelmora("simulate_measurement"),
        {"--duration", "20", "--burst-rate", "8", "--burst-size", "150", "--bg-donor", "1500",
         "--bg-acceptor", "1500", "-D", "1", "--model", model, "--seed", "5", "m.h5"},
        folder.path());
    ASSERT_EQ(simulated.status, 0) << simulated.standard_error;
    const Estimate confined = scan(folder, model);
    const Estimate free = scan(folder, "free");
    EXPECT_LT(confined.low, kTruth);
    EXPECT_GT(confined.high, kTruth);
    EXPECT_LT(free.high, kTruth);
    EXPECT_LT(free.d, confined.low);
  }
}

}  // namespace
}  // namespace pelmora::testing
