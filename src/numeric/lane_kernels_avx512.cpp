// The lane kernels 8 lanes wide, compiled with -mavx512f (CMakeLists.txt).
#define PELMORA_LANE_WIDTH 8
#define PELMORA_LANE_TABLE kLaneKernelsAvx512
#include "numeric/lane_kernels_body.h"
