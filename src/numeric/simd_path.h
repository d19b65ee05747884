// The instruction sets the engine can run its propagations on.  The scalar
// path carries one run per chain of operations; the others step several runs
// side by side, one in each lane of a vector register (2 doubles with SSE2,
// 4 with AVX2, 8 with AVX-512).  Each lane performs exactly the operations of
// the scalar path in the same order, so every path gives the same bits.
#pragma once

#include <optional>
#include <string_view>

namespace pelmora {

enum class SimdPath { kScalar, kSse2, kAvx2, kAvx512 };

// "scalar", "sse2", "avx2" or "avx512".
const char* simd_path_name(SimdPath path);

// The path named by `name` (as simd_path_name spells it), if any.
std::optional<SimdPath> parse_simd_path(std::string_view name);

// Lanes of one vector on `path`: 1 for the scalar path.
int simd_lanes(SimdPath path);

// Whether this build has the path and this processor (and its operating
// system) can run it.
bool simd_path_available(SimdPath path);

// The widest path available here.
SimdPath best_simd_path();

}  // namespace pelmora
