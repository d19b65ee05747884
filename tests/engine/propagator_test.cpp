#include "engine/propagator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#include "engine/distance_grid.h"
#include "state/distance_distribution.h"

namespace pelmora {
namespace {

constexpr PropagationGrid kDefaultGrid{1200, -13.0, 26.0};
constexpr double kDiffusion = 1e-14;  // m^2/s

// A distance vector over 0..M+1 with the propagator's workspace.
struct Propagation {
  PropagationGrid grid;
  FftWorkspace workspace;
  DVector source;
  DVector destination;

  explicit Propagation(const PropagationGrid& g)
      : grid(g),
        workspace(make_fft_workspace(g.bins)),
        source(dvector(0, g.bins + 1)),
        destination(dvector(0, g.bins + 1)) {
    for (int i = 0; i < g.bins; ++i) source[i] = 0.0;
  }
  bool run(double dt, double diff_coeff = kDiffusion) {
    return propagate(workspace, grid, diff_coeff, source.span(), destination.span(), dt);
  }
  double sum() const {
    double total = 0.0;
    for (int i = 0; i < grid.bins; ++i) total += destination[i];
    return total;
  }
};

// The kernel as the propagator left it, addressed by lag.
struct KernelView {
  const DVector& kernel;
  int n;
  double at(int lag) const { return lag >= 0 ? kernel[lag + 1] : kernel[n + 1 + lag]; }
};

// Unnormalised kernel weight of a displacement of k grid spacings.
double gaussian_weight(const PropagationGrid& grid, int k, double diff_coeff, double dt) {
  const double x = (grid.rmax - grid.rmin) * 1e-9 * k / (grid.bins - 1);
  return std::exp(-x * x / (4 * diff_coeff * dt * 1e-6));
}

// Rises and falls over the grid, with a floor, so that no point is empty.
double irregular_source(int i) {
  const double a = (i - 40) / 9.0;
  const double b = (i - 100) / 5.0;
  return 1 / (1 + a * a) + 0.5 / (1 + b * b * b * b) + 0.01 + 0.001 * (i % 7);
}

TEST(Propagate, ZeroStepOnlyNormalises) {
  Propagation p(PropagationGrid{150, -2.0, 6.0});
  p.source[0] = 1.0;
  p.source[1] = 3.0;
  const int n = p.workspace.fft_length;
  for (int i = 1; i <= n; ++i) p.workspace.fft_data[i] = p.workspace.fft_kernel[i] = -7.0;

  ASSERT_TRUE(p.run(0.0));

  EXPECT_EQ(p.destination[0], 0.25);
  EXPECT_EQ(p.destination[1], 0.75);
  for (int i = 2; i < 150; ++i) EXPECT_EQ(p.destination[i], 0.0) << i;
  for (int i = 1; i <= n; ++i) {
    EXPECT_EQ(p.workspace.fft_data[i], -7.0) << "a zero step must not transform";
    EXPECT_EQ(p.workspace.fft_kernel[i], -7.0);
  }
}

TEST(Propagate, PointSourceBecomesCutOffGaussian) {
  Propagation p(kDefaultGrid);
  p.source[600] = 1.0;
  const double dt = 100.0;
  ASSERT_TRUE(p.run(dt));

  EXPECT_NEAR(p.sum(), 1.0, 1e-14);
  // Far from the edges the result is the sampled Gaussian, normalised; the
  // cut-off lies beyond the grid's ends here.
  double weights = 0.0;
  for (int i = 0; i < 1200; ++i)
    weights += gaussian_weight(kDefaultGrid, std::abs(i - 600), kDiffusion, dt);
  for (int i = 0; i < 1200; ++i) {
    const double expected =
        gaussian_weight(kDefaultGrid, std::abs(i - 600), kDiffusion, dt) / weights;
    EXPECT_NEAR(p.destination[i], expected, 1e-14) << i;
  }
  // Standard deviation sqrt(2 D dt) = 1.414 nm.
  double variance = 0.0;
  for (int i = 0; i < 1200; ++i) {
    const double r =
        grid_point_position(-13, 26, i, 1200) - grid_point_position(-13, 26, 600, 1200);
    variance += p.destination[i] * r * r;
  }
  EXPECT_NEAR(std::sqrt(variance), std::sqrt(2.0), 1e-6);

  // The kernel is cut off to exact zeros from 615 spacings on, symmetrically.
  const KernelView kernel{p.workspace.fft_kernel, p.workspace.fft_length};
  EXPECT_GT(kernel.at(614), 0.0);
  for (int j = 615; j <= 1024; ++j) EXPECT_EQ(kernel.at(j), 0.0) << j;
  for (int j = 1; j <= 1024; ++j) EXPECT_EQ(kernel.at(j), kernel.at(-j)) << j;
  EXPECT_EQ(kernel.at(0), 1.0);
}

TEST(Propagate, LongStepWrapsMassAroundTheEnds) {
  Propagation p(kDefaultGrid);
  p.source[0] = 1.0;
  const double dt = 10000.0;
  ASSERT_TRUE(p.run(dt));

  EXPECT_NEAR(p.sum(), 1.0, 1e-14);
  const std::span<const double> result = p.destination.span().first(1200);
  EXPECT_EQ(std::max_element(result.begin(), result.end()) - result.begin(), 0);
  // Lag i couples as min(i, n - i) spacings: mass that leaves below point 0
  // re-enters at the top and grows towards the last point.
  double weights = 0.0;
  for (int i = 0; i < 1200; ++i)
    weights += gaussian_weight(kDefaultGrid, std::min(i, 2048 - i), kDiffusion, dt);
  for (int i = 0; i < 1200; ++i) {
    const double expected =
        gaussian_weight(kDefaultGrid, std::min(i, 2048 - i), kDiffusion, dt) / weights;
    EXPECT_NEAR(p.destination[i], expected, 1e-14) << i;
  }
  for (int i = 1025; i < 1200; ++i) EXPECT_GT(p.destination[i], p.destination[i - 1]) << i;
  EXPECT_GT(p.destination[1199], 0.1 * p.destination[0]);
}

TEST(Propagate, TinyStepReturnsNormalisedSource) {
  Propagation p(kDefaultGrid);
  double total = 0.0;
  for (int i = 0; i < 1200; ++i) total += p.source[i] = irregular_source(i);
  ASSERT_TRUE(p.run(1e-6));  // e >= 100 already at one spacing
  for (int i = 0; i < 1200; ++i) EXPECT_NEAR(p.destination[i], p.source[i] / total, 1e-14) << i;
}

TEST(Propagate, ResultIgnoresScaleOfSourceAndMayOverwriteIt) {
  Propagation p(kDefaultGrid);
  for (int i = 0; i < 1200; ++i) p.source[i] = irregular_source(i);
  ASSERT_TRUE(p.run(20.0));
  const std::vector<double> once(p.destination.data(), p.destination.data() + 1200);

  for (int i = 0; i < 1200; ++i) p.source[i] *= 2;
  ASSERT_TRUE(p.run(20.0));
  for (int i = 0; i < 1200; ++i) EXPECT_NEAR(p.destination[i], once[i], 1e-14) << i;

  for (int i = 0; i < 1200; ++i) p.source[i] = irregular_source(i);
  ASSERT_TRUE(propagate(p.workspace, p.grid, kDiffusion, p.source.span(), p.source.span(), 20.0));
  for (int i = 0; i < 1200; ++i) EXPECT_EQ(p.source[i], once[i]) << i;
}

TEST(Propagate, ReportsVanishedDistribution) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    double at_7;
    double elsewhere;
  };
  for (const Case c : {Case{"all zero", 0.0, 0.0}, Case{"rounding residue only", -1e-17, 0.0},
                       Case{"not a number", nan, 1.0}, Case{"infinite", inf, 0.0}}) {
    for (const double dt : {0.0, 50.0}) {
      Propagation p(PropagationGrid{150, -2.0, 6.0});
      for (int i = 0; i < 150; ++i) p.source[i] = c.elsewhere;
      p.source[7] = c.at_7;
      EXPECT_FALSE(p.run(dt)) << c.name << ", dt = " << dt;
    }
  }
}

// Photon-like chain on a small grid: diffuse, weight by a donor photon,
// diffuse longer, weight by an acceptor photon, diffuse with another
// coefficient over a short step.  The first two kernels reach across the
// whole grid, so the wrap-around is exercised; the last one is cut off
// within it.
std::vector<double> reference_chain() {
  AnalysisSettings s;
  s.foerster_radius = 3.0;
  s.internal_rmin = -2.0;
  s.internal_rmax = 6.0;
  s.internal_bins = 150;
  const DistanceGrid grid = make_distance_grid(s);
  FftWorkspace workspace = make_fft_workspace(150);
  EXPECT_EQ(workspace.fft_length, 256);
  DVector p = dvector(0, 151);
  for (int i = 0; i < 150; ++i) p[i] = irregular_source(i);
  EXPECT_TRUE(propagate(workspace, grid.points, 1e-14, p.span(), p.span(), 20.0));
  for (int i = 0; i < 150; ++i) p[i] *= grid.one_minus_efficiency[i];
  EXPECT_TRUE(propagate(workspace, grid.points, 1e-14, p.span(), p.span(), 150.0));
  for (int i = 0; i < 150; ++i) p[i] *= grid.efficiency[i];
  EXPECT_TRUE(propagate(workspace, grid.points, 4e-14, p.span(), p.span(), 0.5));
  return std::vector<double>(p.data(), p.data() + 150);
}

TEST(Propagate, ChainReproducesStoredBits) {
  const std::vector<double> expected = {
      0x1.d8ff66c6f3279p-13, 0x1.2348a8bcb1d44p-12, 0x1.5b07c2856d166p-12, 0x1.922dac45cf856p-12,
      0x1.c7f1d6c171f1cp-12, 0x1.fc568f77127d3p-12, 0x1.17fd3b1919aaap-11, 0x1.31e91e6213af1p-11,
      0x1.4c732616b0e2dp-11, 0x1.6812c69d80a08p-11, 0x1.85289f749dd28p-11, 0x1.a3fe1acc36006p-11,
      0x1.c4ca3ae3885cdp-11, 0x1.e7b7ba915ef65p-11, 0x1.0675248fc7d44p-10, 0x1.1a4112ce07ce3p-10,
      0x1.2f4f1eca71ccdp-10, 0x1.45aea1128987fp-10, 0x1.5d6f109ea1042p-10, 0x1.76a0178d898d7p-10,
      0x1.9151958d1ba8bp-10, 0x1.ad939a806ca1ep-10, 0x1.cb765de971dbp-10,  0x1.eb0a34be6373bp-10,
      0x1.062fc30fd524p-9,   0x1.17c35f7a9c0bep-9,  0x1.2a48223120a4ap-9,  0x1.3dc632848f4bbp-9,
      0x1.5245a4967d4cfp-9,  0x1.67ce70e70cf7cp-9,  0x1.7e686b7125a43p-9,  0x1.961b3a62f74cp-9,
      0x1.aeee4c7b7bd1ap-9,  0x1.c8e8cf0f3b67cp-9,  0x1.e411a3b04cd1cp-9,  0x1.0037aab79ab54p-8,
      0x1.0f0406d188b6p-8,   0x1.1e70c40f32a12p-8,  0x1.2e80835559f0cp-8,  0x1.3f35a1cbcea1p-8,
      0x1.5092318dbfd22p-8,  0x1.6297f19a1e16ep-8,  0x1.754844d3d59e6p-8,  0x1.88a427da91043p-8,
      0x1.9cac257e4a0e4p-8,  0x1.b160498a4a9cbp-8,  0x1.c6c0119f84772p-8,  0x1.dcca5bd27ffc5p-8,
      0x1.f37d52bee0ed4p-8,  0x1.056b2b610dcf4p-7,  0x1.1168f20888a43p-7,  0x1.1db5bab0da0b1p-7,
      0x1.2a4eb175c35afp-7,  0x1.37305ec873211p-7,  0x1.4456930c6d9dap-7,  0x1.51bc503f89d31p-7,
      0x1.5f5bb1c392531p-7,  0x1.6d2dd2795e691p-7,  0x1.7b2ab17cb4e67p-7,  0x1.894915f6822e3p-7,
      0x1.977e72a823982p-7,  0x1.a5beca0695f3cp-7,  0x1.b3fc93f673044p-7,  0x1.c228a67845f2cp-7,
      0x1.d03222d5498c3p-7,  0x1.de06691b54ac8p-7,  0x1.eb9113ee7fccp-7,   0x1.f8bbfee178ab6p-7,
      0x1.02b7accd741ap-6,   0x1.08c8e503212dp-6,   0x1.0e844fd00ac0bp-6,  0x1.13dc0cc8adf37p-6,
      0x1.18c1e05e11b38p-6,  0x1.1d276b09765d2p-6,  0x1.20fe6a4a69db6p-6,  0x1.2439028d0d368p-6,
      0x1.26ca10667d9b8p-6,  0x1.28a57ee73d07dp-6,  0x1.29c0a01ca54b5p-6,  0x1.2a12844a9566fp-6,
      0x1.29944bfe289e2p-6,  0x1.284170e8d2eedp-6,  0x1.261801850ef49p-6,  0x1.2318cbe2082f5p-6,
      0x1.1f47749abff71p-6,  0x1.1aaa77e7c11e1p-6,  0x1.154b13d99b9fdp-6,  0x1.0f351c089c98cp-6,
      0x1.0876b849af623p-6,  0x1.01201125ab848p-6,  0x1.f285db9bb954fp-7,  0x1.e1e49002ad89dp-7,
      0x1.d083b579b2836p-7,  0x1.be8b613ab2e2fp-7,  0x1.ac236d2e9bcc6p-7,  0x1.9972ae2bc895p-7,
      0x1.869e419d9d3f5p-7,  0x1.73c8f75c6885fp-7,  0x1.6112da90b9148p-7,  0x1.4e98daa02e2d7p-7,
      0x1.3c74937500871p-7,  0x1.2abc330d3d132p-7,  0x1.19827930e8d82p-7,  0x1.08d6cd7b2b35bp-7,
      0x1.f18acf0c0da64p-8,  0x1.d2af09ef6fde7p-8,  0x1.b52752bc7b031p-8,  0x1.98fbc841cb4d8p-8,
      0x1.7e30329233f3ep-8,  0x1.64c494d990925p-8,  0x1.4cb5bb2353da3p-8,  0x1.35fdc0d03e147p-8,
      0x1.20948d6fc36a2p-8,  0x1.0c7046891e9dbp-8,  0x1.f30b6b286ef12p-9,  0x1.cf9143e60a97cp-9,
      0x1.ae583e55d04c6p-9,  0x1.8f459fdc18fa3p-9,  0x1.723e3d77206ffp-9,  0x1.5726d9fc9f05ap-9,
      0x1.3de47344bf4d8p-9,  0x1.265c8038a3025p-9,  0x1.107521adbc196p-9,  0x1.f82a8fba3e8ep-10,
      0x1.d2499c46d2e2bp-10, 0x1.af191d1d2f673p-10, 0x1.8e6cdd2c346bep-10, 0x1.701acc60f9df3p-10,
      0x1.53fb04a509b55p-10, 0x1.39e7c77bf54d8p-10, 0x1.21bd75c2761bp-10,  0x1.0b5a82bd27ad6p-10,
      0x1.ed3ec64ebd653p-11, 0x1.c6dceffe20ed6p-11, 0x1.a357e58536d0ep-11, 0x1.827b595d705aap-11,
      0x1.6415c61d5e4bcp-11, 0x1.47f77f3a1b93fp-11, 0x1.2df11107a40dep-11, 0x1.15d0a3d11dcd7p-11,
      0x1.febc96386419ap-12, 0x1.d4af81648e933p-12, 0x1.acda143bd4187p-12, 0x1.86813f2fe15c8p-12,
      0x1.60dc39a84615dp-12, 0x1.3b32b83970289p-12, 0x1.1509471dcbf31p-12, 0x1.dca0486e2dde9p-13,
      0x1.8f040a4757a16p-13, 0x1.4341766f88579p-13,
  };
  const std::vector<double> result = reference_chain();
  ASSERT_EQ(result.size(), 150u);
  ASSERT_EQ(expected.size(), 150u);
  for (int i = 0; i < 150; ++i) {
    char printed[32];
    std::snprintf(printed, sizeof printed, "%a", result[i]);
    EXPECT_EQ(result[i], expected[i]) << "point " << i << " holds " << printed;
  }
}

}  // namespace
}  // namespace pelmora

namespace pelmora {
namespace {

// A workspace keeps its kernel while the step repeats.  Whatever came
// before, every call must give the bits a fresh workspace gives: the
// convolution leaves the kernel alone, and a change of coefficient, step
// length or grid rebuilds it.
TEST(Propagate, ReusedKernelGivesTheBitsOfAFreshOne) {
  const PropagationGrid narrow{150, -2.0, 6.0};
  const PropagationGrid wider{150, -2.0, 6.5};
  struct Step {
    double diff_coeff;
    double dt;
    PropagationGrid grid;
  };
  const Step steps[] = {
      {kDiffusion, 20.0, narrow},
      {kDiffusion, 20.0, narrow},
      {kDiffusion, 150.0, narrow},
      {kDiffusion, 20.0, narrow},
      {4e-14, 20.0, narrow},
      {4e-14, 20.0, wider},
      {4e-14, 0.0, wider},
      {4e-14, 20.0, wider},
      {4e-14, std::nextafter(20.0, 0.0), wider},
      {-0.0, 20.0, narrow},
      {0.0, 20.0, narrow},
      {kDiffusion, 20.0, narrow},
  };
  Propagation reused(narrow);
  int index = 0;
  for (const Step& step : steps) {
    Propagation fresh(step.grid);
    reused.grid = step.grid;
    for (int i = 0; i < 150; ++i) reused.source[i] = fresh.source[i] = irregular_source(i + index);
    const bool fresh_ok = fresh.run(step.dt, step.diff_coeff);
    EXPECT_EQ(reused.run(step.dt, step.diff_coeff), fresh_ok) << "step " << index;
    if (fresh_ok) {
      EXPECT_EQ(
          std::memcmp(reused.destination.data(), fresh.destination.data(), 150 * sizeof(double)), 0)
          << "step " << index;
    }
    ++index;
  }
}

TEST(Propagate, KernelMarkedInvalidIsRebuilt) {
  Propagation p(kDefaultGrid);
  for (int i = 0; i < 1200; ++i) p.source[i] = irregular_source(i);
  ASSERT_TRUE(p.run(20.0));
  const std::vector<double> first(p.destination.data(), p.destination.data() + 1200);
  for (int i = 1; i <= p.workspace.fft_length; ++i) p.workspace.fft_kernel[i] = 0.5;
  p.workspace.kernel_valid = false;
  ASSERT_TRUE(p.run(20.0));
  EXPECT_EQ(std::memcmp(p.destination.data(), first.data(), 1200 * sizeof(double)), 0);
}

// The default grid takes other paths through the transforms than the small
// grid above (n = 2048).  A chain over it, with a short step whose kernel is
// cut off, a long one that wraps, and a tiny one, checked by a digest of all
// 1200 results' bits and a few values.
std::vector<double> default_grid_chain() {
  Propagation p(kDefaultGrid);
  for (int i = 0; i < 1200; ++i) p.source[i] = irregular_source(i);
  EXPECT_TRUE(p.run(20.0));
  for (int i = 0; i < 1200; ++i) p.source[i] = p.destination[i] * (i % 3 + 1);
  EXPECT_TRUE(p.run(2000.0));
  for (int i = 0; i < 1200; ++i) p.source[i] = p.destination[i] * (i % 5 + 1);
  EXPECT_TRUE(p.run(0.5, 4e-14));
  return std::vector<double>(p.destination.data(), p.destination.data() + 1200);
}

std::uint64_t bits_digest(const std::vector<double>& values) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over the bytes
  for (const double v : values) {
    unsigned char bytes[sizeof v];
    std::memcpy(bytes, &v, sizeof v);
    for (const unsigned char b : bytes) hash = (hash ^ b) * 1099511628211ull;
  }
  return hash;
}

TEST(Propagate, DefaultGridChainReproducesStoredBits) {
  const std::vector<double> result = default_grid_chain();
  EXPECT_EQ(result[0], 0x1.0571e3861f95ap-10);
  EXPECT_EQ(result[600], 0x1.df70d299336bdp-12);
  EXPECT_EQ(result[1199], 0x1.e4c0206a242efp-14);
  EXPECT_EQ(bits_digest(result), 0x8b950acee105729dull);
}

}  // namespace
}  // namespace pelmora
