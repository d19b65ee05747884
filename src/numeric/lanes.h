// Two doubles handled as one value, for the transform loops.
//
// Each lane of an operation is the same IEEE operation on doubles that the
// scalar code performs, rounded the same way, so running two independent
// butterflies side by side gives the bits that running them one after the
// other gives.  The build forbids contraction (-ffp-contract=off), so a
// product followed by a sum is never fused into one rounding.  On x86-64 this
// maps onto SSE2, which every such processor has; elsewhere the compiler
// splits the lanes.
#pragma once

#include <cstring>

namespace pelmora {

using Lanes = double __attribute__((vector_size(16)));

inline Lanes load_lanes(const double* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void store_lanes(double* p, Lanes v) {
  std::memcpy(p, &v, sizeof v);
}

inline Lanes broadcast(double x) {
  return Lanes{x, x};
}

}  // namespace pelmora
