#pragma once

#include <cstdint>

#include "numeric/convolve.h"
#include "numeric/indexed_array.h"

namespace pelmora {

// The step whose diffusion kernel a workspace holds: grid, coefficient and
// step length, each compared bit for bit.
struct KernelKey {
  std::int64_t bins = 0;
  std::uint64_t rmin_bits = 0;
  std::uint64_t rmax_bits = 0;
  std::uint64_t diff_coeff_bits = 0;
  std::uint64_t dt_bits = 0;
  bool operator==(const KernelKey&) const = default;
};

// Work arrays of one propagator.  Each thread that propagates needs its own.
// fft_data and fft_kernel span 1..n, fft_result and spectrum 1..2n (1-based).
struct FftWorkspace {
  int fft_length = 0;  // n: the smallest power of two above 1.5 * M
  DVector fft_data;    // zero-padded distribution
  DVector fft_kernel;  // diffusion kernel in wrap-around order
  DVector fft_result;  // convolution output (entries n+1..2n are scratch)
  DVector spectrum;    // scratch of the convolution

  // Transform tables for length n, built with the workspace.
  ConvolutionTables tables;
  // fft_kernel is kept from one step to the next and rebuilt only when the
  // step differs; kernel_valid is false until a kernel has been built.  Code
  // that writes into fft_kernel must clear kernel_valid.
  KernelKey kernel_key;
  bool kernel_valid = false;
  // A confined model's step keeps its mode coefficients here (M entries).
  DVector mode_coefficients;
};

}  // namespace pelmora
