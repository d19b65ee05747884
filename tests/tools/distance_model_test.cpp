// The potentials of the simulator's distance walk: the drift is the slope of
// the energy, and the walk's Metropolis test, which keeps P_eq stationary
// whatever the drift, hardly ever rejects a step of the simulator's length.
// (A wrong drift would pass the histogram check of the end-to-end test, the
// rejections restoring P_eq, but walk with the wrong dynamics.)
#include "../../tools/distance_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "support/run_binary.h"

namespace {

TEST(DistanceModel, DriftIsTheEnergysSlopeAndStepsAreAccepted) {
  pelmora::testing::ScratchDir folder;
  folder.write("pmf.txt", "0.5 0\n2 1\n4 0.3\n6 2\n9 0.1\n");
  const std::string table = "pmf:" + (folder / "pmf.txt").string();
  struct Case {
    std::string model;
    double low, high;  // where to compare the slope, nm
  };
  const Case cases[] = {{"chain:6", 0.3, 18}, {table, 0.6, 8.9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    const DistanceWalk model(DistanceWalk::parse(c.model), 2, 11);
    for (double r = c.low + 0.013; r < c.high; r += 0.1) {
      const double h = 1e-6;
      const double numeric = (model.energy(r + h) - model.energy(r - h)) / (2 * h);
      EXPECT_NEAR(model.slope(r), numeric, 1e-5 * (1 + std::abs(numeric))) << r;
    }
    // Steps of the length the simulator takes (a twentieth of the spread).
    const double diffusion = 0.01;  // nm^2/µs, D = 1e-14 m^2/s
    const double length = model.spread() / 20;
    const double dt = length * length / (2 * diffusion);
    RandomSource random(9);
    double r = model.draw(random);
    int stayed = 0;
    constexpr int kSteps = 200000;
    for (int k = 0; k < kSteps; ++k) {
      const double next = step_in_potential(r, dt, diffusion, model, random);
      stayed += next == r;
      r = next;
    }
    EXPECT_LT(stayed, kSteps / 200);
  }
}

}  // namespace
