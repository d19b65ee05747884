#pragma once

#include <cstddef>

#include "numeric/simd_path.h"

namespace pelmora {

// How the engine schedules its work.  These settings change speed and
// memory, never a single bit of what is computed or printed.
struct EngineOptions {
  // Worker threads, at least 1: the forward and backward passes of trajectory
  // mode run side by side; in the likelihood scan each worker takes whole
  // runs, and two workers share each of the last runs (one its forward, the
  // other its backward pass).
  int threads = 1;
  // Bytes the likelihood scan may spend, over all workers together, on
  // keeping a row per photon of each run in progress (at most one run per
  // worker).  Above it a run keeps only checkpoints and recomputes the rows a
  // stretch at a time.  The program sets it from the machine's memory.
  std::size_t row_storage_budget = std::size_t{1} << 30;
  // Checkpoint spacing in photons; 0 chooses about the square root of the
  // photon count.
  int checkpoint_spacing = 0;
  // The instruction set the propagations run on (numeric/simd_path.h): the
  // likelihood scan steps several runs at once, one in each vector lane,
  // each lane with exactly the scalar path's arithmetic.  Must be available
  // on this processor.
  SimdPath simd = best_simd_path();
};

}  // namespace pelmora
