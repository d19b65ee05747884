#include "numeric/simd_path.h"

namespace pelmora {

const char* simd_path_name(SimdPath path) {
  switch (path) {
    case SimdPath::kScalar:
      return "scalar";
    case SimdPath::kSse2:
      return "sse2";
    case SimdPath::kAvx2:
      return "avx2";
    case SimdPath::kAvx512:
      return "avx512";
  }
  return "scalar";
}

std::optional<SimdPath> parse_simd_path(std::string_view name) {
  for (const SimdPath path :
       {SimdPath::kScalar, SimdPath::kSse2, SimdPath::kAvx2, SimdPath::kAvx512}) {
    if (name == simd_path_name(path)) return path;
  }
  return std::nullopt;
}

int simd_lanes(SimdPath path) {
  switch (path) {
    case SimdPath::kScalar:
      return 1;
    case SimdPath::kSse2:
      return 2;
    case SimdPath::kAvx2:
      return 4;
    case SimdPath::kAvx512:
      return 8;
  }
  return 1;
}

bool simd_path_available(SimdPath path) {
  switch (path) {
    case SimdPath::kScalar:
    case SimdPath::kSse2:
      // The two-lane path is plain C++ vector arithmetic: SSE2 on x86-64,
      // whatever the compiler makes of it elsewhere.
      return true;
    case SimdPath::kAvx2:
    case SimdPath::kAvx512:
#if defined(PELMORA_X86_LANES)
      // The compiler's check covers the operating system's support too (the
      // wider registers saved on a context switch).
      __builtin_cpu_init();
      return path == SimdPath::kAvx2
                 ? __builtin_cpu_supports("avx2") != 0
                 : __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx2") != 0;
#else
      return false;
#endif
  }
  return false;
}

SimdPath best_simd_path() {
  for (const SimdPath path : {SimdPath::kAvx512, SimdPath::kAvx2}) {
    if (simd_path_available(path)) return path;
  }
  return SimdPath::kSse2;
}

}  // namespace pelmora
