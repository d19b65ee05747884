// Radix-2 fast Fourier transforms.
//
// The unit-offset routines take pointers to the element with index 1
// (DVector::data() of a vector created over 1..2nn or 1..n).  Complex value k
// of a complex array has its real part at index 2k+1 and its imaginary part at
// 2k+2.  isign = +1 transforms with exp(+2 pi i jk/N), isign = -1 with
// exp(-2 pi i jk/N); neither direction scales.  Lengths are powers of two.
//
// Every result is reproducible to the last bit: the twiddle factors come from
// one fixed recurrence per pass, and every butterfly performs the same
// operations in the same order whichever way the work is scheduled.  FftTables
// holds those recurrence values ahead of time, which leaves the butterflies
// free to run over contiguous memory, two at a time.
#pragma once

#include <cstdint>
#include <vector>

namespace pelmora {

// Precomputed values for complex transforms of nn values with one sign, and
// for the real transform of 2nn values that is built on them.  Read-only once
// built, so one set can serve any number of transforms.
class FftTables {
 public:
  FftTables() = default;
  FftTables(int nn, int isign);

  int length() const { return nn_; }
  int sign() const { return isign_; }

  // The pass that combines transforms of `half` values into transforms of
  // 2 half values uses twiddle factor t = 0..half-1, real part
  // twiddle_re(half)[t], imaginary part twiddle_im(half)[t].
  const double* twiddle_re(int half) const { return twiddle_re_.data() + half - 1; }
  const double* twiddle_im(int half) const { return twiddle_im_.data() + half - 1; }

  // Natural index of the value that the bit-reversal reordering moves to
  // position 4q (q = 0..nn/4-1); positions 4q+1..4q+3 receive that index plus
  // nn/2, nn/4 and 3nn/4.
  const std::int32_t* reversed_quads() const { return reversed_quads_.data(); }

  // Untangling factor of the real transform for i = 2..nn/2: real part
  // untangle_re()[i-2], imaginary part untangle_im()[i-2].  The forward real
  // transform uses tables with sign +1, the inverse tables with sign -1.
  const double* untangle_re() const { return untangle_re_.data(); }
  const double* untangle_im() const { return untangle_im_.data(); }

 private:
  int nn_ = 0;
  int isign_ = 0;
  std::vector<double> twiddle_re_;
  std::vector<double> twiddle_im_;
  std::vector<std::int32_t> reversed_quads_;
  std::vector<double> untangle_re_;
  std::vector<double> untangle_im_;
};

// Complex transform in split form.  Value k (natural order, k = 0..nn-1) is
// read from in_re[k * stride] and in_im[k * stride]; the transform is left in
// out_re[0..nn-1] and out_im[0..nn-1], which must not overlap the input.
void fft_split(const FftTables& tables, const double* in_re, const double* in_im, int stride,
               double* out_re, double* out_im);

// The same, but the result goes to out[0..2nn-1] as interleaved pairs (real,
// imaginary).  work_re and work_im (nn values each) are scratch and must not
// overlap the input, the output or each other.  The input is read completely
// before any output is written, so out may be the input array itself.
void fft_split_interleaved(const FftTables& tables, const double* in_re, const double* in_im,
                           int stride, double* work_re, double* work_im, double* out);

// Transforms the nn complex values in data[1..2nn] in place with
// tables.sign().  work (2nn values) is scratch.
void fft_complex(const FftTables& tables, double* data, double* work);

// For tests of the transforms; the engine needs only the forms above.
// data[1..2nn] holds 2nn real values.  isign = 1 replaces them by their packed
// spectrum: data[1] = F_0, data[2] = F_nn (both real), data[2k+1], data[2k+2] =
// F_k for k = 1..nn-1.  Any other isign takes such a packed spectrum and
// replaces it by nn times the real sequence it belongs to.  Builds its tables
// and scratch for the call.
void fft_real(double* data, int nn, int isign);

}  // namespace pelmora
