#pragma once

#include "numeric/convolve.h"
#include "numeric/indexed_array.h"

namespace pelmora {

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
};

}  // namespace pelmora
