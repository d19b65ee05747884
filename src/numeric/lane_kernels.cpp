#include "numeric/lane_kernels.h"

namespace pelmora {

// Defined by lane_kernels_sse2.cpp, _avx2.cpp and _avx512.cpp; the wider
// two only in builds for x86-64.
extern const LaneKernels kLaneKernelsSse2;
#if defined(PELMORA_X86_LANES)
extern const LaneKernels kLaneKernelsAvx2;
extern const LaneKernels kLaneKernelsAvx512;
#endif

LaneKernelSet lane_kernels(SimdPath path) {
  LaneKernelSet set;
  auto add = [&set](const LaneKernels& kernels) { set.by_width[set.count++] = &kernels; };
  switch (path) {
    case SimdPath::kScalar:
      break;
    case SimdPath::kAvx512:
#if defined(PELMORA_X86_LANES)
      add(kLaneKernelsAvx512);
      add(kLaneKernelsAvx2);
#endif
      add(kLaneKernelsSse2);
      break;
    case SimdPath::kAvx2:
#if defined(PELMORA_X86_LANES)
      add(kLaneKernelsAvx2);
#endif
      add(kLaneKernelsSse2);
      break;
    case SimdPath::kSse2:
      add(kLaneKernelsSse2);
      break;
  }
  return set;
}

}  // namespace pelmora
