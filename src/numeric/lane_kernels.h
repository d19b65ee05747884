// Propagation steps of several distributions at once, one in each lane of a
// vector register: the kernels behind the engine's lane paths.
//
// Each lane performs exactly the IEEE operations, in exactly the order, that
// the one-distribution code performs for its distribution (the confined step
// of engine/confined_propagator.cpp, the convolution of numeric/convolve.cpp
// and the normalisation after either), so a lane's result is that code's
// result to the last bit.  The kernels are compiled once per instruction set
// (lane_kernels_sse2.cpp, _avx2.cpp, _avx512.cpp, each with its own compiler
// flags and never with contraction into fused multiply-adds); lane_kernels()
// hands out the ones the processor can run.
//
// Every kernel processes all `width` lanes of its table.  A caller with
// fewer distributions points the spare lanes at any readable source and any
// writable destination and ignores what comes out there.  Arrays marked
// "interleaved" hold `width` values per index, lane after lane, and start at
// a multiple of 64 bytes.
#pragma once

#include <cstdint>

#include "numeric/simd_path.h"

namespace pelmora {

// What follows a step of a chain to its next photon, for each lane: the
// result weighted by the photon's colour, weighted[i] = result[i] *
// colour[i] (weighted may be the lane's source), and lowest lowered to the
// most negative value of the result, as engine/lane_propagator.h's
// weigh_by_colour forms them.
struct ColourWeighting {
  const double* const* colours = nullptr;  // per lane: bins values
  double* const* weighted = nullptr;       // per lane: bins values
  double* lowest = nullptr;                // per lane, in and out
};

// A confined model's step through its modes (DiffusionModes) for each lane:
// coefficient k = factor_k * (right_k . source), the result
// sum_k coefficient_k left_k over the modes the lane keeps, then normalised.
struct ConfinedLaneStep {
  int bins = 0;
  int modes = 0;                           // modes computed: the most any lane keeps
  const double* left = nullptr;            // mode k at [k * bins, (k + 1) * bins)
  const double* right = nullptr;           // likewise
  const double* const* sources = nullptr;  // per lane: bins values
  double* const* destinations = nullptr;   // per lane: bins values; may be the lane's source
  const int* kept = nullptr;               // per lane: its modes 0..kept-1
  const double* factors = nullptr;         // interleaved, modes x width: exp(-rate_k D dt) per lane
  ColourWeighting weighting;
  double* sums = nullptr;     // per lane, out: the sum the result was divided by
  double* scratch = nullptr;  // interleaved, (2 bins + modes) x width
};

// The tables of one convolution length n (at least 16) as plain arrays
// (numeric/lane_convolution.h builds them), for the free model's lanes.
struct LaneFftPlan {
  int n = 0;
  // Complex transform of n values, sign +1, and of n/2 values, sign -1: the
  // pass that combines transforms of `half` values uses factor t
  // (FftTables::twiddle_re and twiddle_im) as the pair at [2 (half - 1 + t)].
  const double* forward_pairs = nullptr;
  const double* inverse_pairs = nullptr;
  // Untangling factors of the inverse real transform (FftTables::untangle_re).
  const double* untangle_re = nullptr;
  const double* untangle_im = nullptr;
  // Bit reversal of the indices of n and of n/2 values.
  const std::int32_t* reversed = nullptr;
  const std::int32_t* reversed_half = nullptr;
};

// Free diffusion's step for each lane: the circular convolution of the
// lane's source (zero-padded to n) with its response, as convolve() forms
// it, then the first `bins` values normalised.
struct FreeLaneStep {
  const LaneFftPlan* plan = nullptr;
  int bins = 0;
  const double* const* sources = nullptr;  // per lane: bins values
  double* const* destinations = nullptr;   // per lane: bins values; may be the lane's source
  // Interleaved, n x width.  data: the kernel writes the sources there;
  // indices from bins on must hold 0.  responses: the kernel writes each
  // lane's response there in wrap-around order (index j lag +j, index n - j
  // lag -j) for the lags below `extent`, from the lane's weights (the
  // kernel weights of lags 0..counts[lane]-1, readable up to extent + width),
  // 0 beyond them; the other lags must hold 0.  extent <= n/2 + 1.
  double* data = nullptr;
  double* responses = nullptr;
  const double* const* weights = nullptr;
  const int* counts = nullptr;
  int extent = 0;
  ColourWeighting weighting;
  double* sums = nullptr;     // per lane, out: the sum the result was divided by
  double* scratch = nullptr;  // interleaved, 3 n x width
};

struct LaneKernels {
  int width = 0;
  void (*confined_step)(const ConfinedLaneStep& step) = nullptr;
  void (*free_step)(const FreeLaneStep& step) = nullptr;
  // The exponents of free diffusion's kernel weights for the lags first ..
  // first + count - 1: out[k] = x * x / spread with x = width * lag /
  // spacings, as kernel_weights (engine/propagator.h) forms them.
  void (*kernel_exponents)(double width, double spacings, double spread, int first, int count,
                           double* out) = nullptr;
};

// The kernels of `path` by width, widest first: the path's own width and
// every narrower one down to 2 (none for the scalar path).  Only for paths
// that simd_path_available() confirms.
struct LaneKernelSet {
  const LaneKernels* by_width[3] = {nullptr, nullptr, nullptr};
  int count = 0;
};
LaneKernelSet lane_kernels(SimdPath path);

}  // namespace pelmora
