// The lane kernels 4 lanes wide, compiled with -mavx2 (CMakeLists.txt).
#define PELMORA_LANE_WIDTH 4
#define PELMORA_LANE_TABLE kLaneKernelsAvx2
#include "numeric/lane_kernels_body.h"
