// Circular convolution of a real sequence with a response, through the FFT.
#pragma once

#include "numeric/fft.h"

namespace pelmora {

// The transform tables a convolution of length n needs: the complex transform
// of n values that takes both inputs at once, and the inverse real transform
// of n values (a complex transform of n/2 values and its untangling).  Built
// once per length; read-only afterwards.
class ConvolutionTables {
 public:
  ConvolutionTables() = default;
  explicit ConvolutionTables(int n);

  int length() const { return forward_.length(); }
  const FftTables& forward() const { return forward_; }
  const FftTables& inverse() const { return inverse_; }

 private:
  FftTables forward_;
  FftTables inverse_;
};

// data[1..n] is the sequence and response[1..n] the response in wrap-around
// order (index 1 is lag 0, index 1+m lag +m, index n+1-m lag -m); both stay
// unchanged.  ans[1..2n] receives the circular convolution in ans[1..n]:
// ans[k] = sum over j of data[j] * response[((k - j) mod n) + 1].  Entries
// n+1..2n of ans are left holding intermediate values.
//
// spectrum[1..2n] is scratch for the spectrum of the data, supplied by the
// caller so that the convolution allocates nothing.  n = tables.length(), a
// power of two, at least 2.  All pointers refer to the element with index 1;
// none of the four arrays may overlap another.
void convolve(const ConvolutionTables& tables, const double* data, const double* response,
              double* ans, double* spectrum);

}  // namespace pelmora
