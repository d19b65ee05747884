// Transforms and a convolution that build their tables and scratch for one
// call, for tests that compare them with other forms; the engine keeps its
// tables from call to call.
#pragma once

namespace pelmora::testing {

// Transforms the nn complex values in data[1..2nn] in place.
void fft_complex(double* data, int nn, int isign);

// Spectra of two real sequences data1[1..n] and data2[1..n] (left unchanged),
// from one complex transform: fft1[1..2n] and fft2[1..2n] receive the n complex
// values of each spectrum; every entry of both is written.
void fft_two_real(const double* data1, const double* data2, double* fft1, double* fft2, int n);

// convolve() with tables built for the call.
void convolve(const double* data, int n, const double* response, double* ans, double* spectrum);

}  // namespace pelmora::testing
