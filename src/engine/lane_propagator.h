// Several propagation steps at once, one in each lane of the vector
// registers: free diffusion or a confined model's step for up to lanes()
// distributions per call, each with its own source, coefficient and time
// step.  Every step gives the bits that diffusion_step (engine/
// diffusion_step.h) gives for it alone.  The exp factors of a step come
// from a cache (engine/step_factor_cache.h) when the same coefficient and
// step came before.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "engine/step_factor_cache.h"
#include "numeric/aligned_doubles.h"
#include "numeric/lane_convolution.h"
#include "numeric/lane_kernels.h"
#include "state/distance_grid.h"
#include "state/fft_workspace.h"

namespace pelmora {

// One step: as diffusion_step(workspace, grid, diff_coeff, source,
// destination, dt); the destination may be the source.  With a colour, a
// chain's step to its next photon: the result is then also weighted by the
// colour, weighted[i] = destination[i] * colour[i] (weighted may be the
// source), and *lowest lowered to the most negative value of the result.
struct LaneStep {
  const double* source = nullptr;  // M values
  double* destination = nullptr;   // M values
  double diff_coeff = 0.0;         // m^2/s
  double dt = 0.0;                 // mu s, >= 0
  const double* colour = nullptr;  // M values, or none
  double* weighted = nullptr;      // M values, with a colour
  double* lowest = nullptr;        // with a colour
};

// diffusion_step for `step`, then, when it succeeded and has a colour, its
// weighting.
[[nodiscard]] bool take_step(FftWorkspace& workspace, const DistanceGrid& grid,
                             const LaneStep& step);

class LanePropagator {
 public:
  // For `grid` (which must outlive it) on `path`, which must be available.
  LanePropagator(const DistanceGrid& grid, SimdPath path);
  ~LanePropagator();
  LanePropagator(const LanePropagator&) = delete;
  LanePropagator& operator=(const LanePropagator&) = delete;

  // Steps per vector: the path's width (1 for the scalar path).
  int lanes() const { return lanes_; }
  // The same without building one.
  static int lanes_for(const DistanceGrid& grid, SimdPath path);

  // Carries out every step, ok[i] = whether step i kept a distribution
  // (diffusion_step's return value).  Any number of steps; lanes() at a time
  // fill the vectors.
  void propagate(std::span<const LaneStep> steps, std::span<char> ok);

 private:
  struct Width;
  // Steps that reach a kernel: dt > 0 and something positive to carry.
  void run_kernel(std::span<const LaneStep> steps, std::span<const int> which, std::span<char> ok);
  Width& width_for(int count);
  void prepare_confined(Width& width, std::span<const LaneStep> steps, std::span<const int> which);
  void prepare_free(Width& width, std::span<const LaneStep> steps, std::span<const int> which);

  const DistanceGrid& grid_;
  int bins_;
  int lanes_;
  LaneKernelSet kernels_;
  FftWorkspace scalar_;  // steps taken one at a time
  std::unique_ptr<LaneConvolutionTables> convolution_;
  std::vector<std::unique_ptr<Width>> widths_;
  StepFactorCache factors_;  // each lane's factors or kernel weights
  std::vector<int> pending_;
  AlignedDoubles spare_;  // destination (and weighted) of the lanes no step fills
  std::vector<double*> weighted_;
  std::vector<const double*> colours_;
  std::vector<double> lowest_;
};

}  // namespace pelmora
