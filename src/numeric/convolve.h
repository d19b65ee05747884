// Circular convolution of a real sequence with a response, through the FFT.
#pragma once

namespace pelmora {

// data[1..n] is the sequence and response[1..n] the response in wrap-around
// order (index 1 is lag 0, index 1+m lag +m, index n+1-m lag -m); both stay
// unchanged.  ans[1..2n] receives the circular convolution in ans[1..n]:
// ans[k] = sum over j of data[j] * response[((k - j) mod n) + 1].  Entries
// n+1..2n of ans are left holding intermediate values.
//
// spectrum[1..2n] is scratch for the spectrum of the data, supplied by the
// caller so that the convolution allocates nothing.  n is a power of two, at
// least 2.  All pointers refer to the element with index 1.
void convolve(const double* data, int n, const double* response, double* ans, double* spectrum);

}  // namespace pelmora
