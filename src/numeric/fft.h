// Radix-2 fast Fourier transforms on unit-offset arrays.
//
// Every pointer refers to the element with index 1 (DVector::data() of a vector
// created over 1..2nn or 1..n).  Complex value k of a complex array has its real
// part at index 2k+1 and its imaginary part at 2k+2.  isign = +1 transforms
// with exp(+2 pi i jk/N), isign = -1 with exp(-2 pi i jk/N); neither direction
// scales.  Lengths are powers of two.
#pragma once

namespace pelmora {

// Transforms the nn complex values in data[1..2nn] in place.
void fft_complex(double* data, int nn, int isign);

// fft_complex with the order of the butterflies chosen by the caller: blocked
// (cache-friendly for long arrays) or twiddle factor by twiddle factor.  Both
// give identical results; fft_complex picks by length.
void fft_complex_ordered(double* data, int nn, int isign, bool blocked);

// data[1..2nn] holds 2nn real values.  isign = 1 replaces them by their packed
// spectrum: data[1] = F_0, data[2] = F_nn (both real), data[2k+1], data[2k+2] =
// F_k for k = 1..nn-1.  Any other isign takes such a packed spectrum and
// replaces it by nn times the real sequence it belongs to.
void fft_real(double* data, int nn, int isign);

// Spectra of two real sequences data1[1..n] and data2[1..n] (left unchanged),
// from one complex transform: fft1[1..2n] and fft2[1..2n] receive the n complex
// values of each spectrum; every entry of both is written.
void fft_two_real(const double* data1, const double* data2, double* fft1, double* fft2, int n);

}  // namespace pelmora
