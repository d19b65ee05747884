// The lane kernels 2 lanes wide, compiled with baseline flags (SSE2 on x86-64) (CMakeLists.txt).
#define PELMORA_LANE_WIDTH 2
#define PELMORA_LANE_TABLE kLaneKernelsSse2
#include "numeric/lane_kernels_body.h"
