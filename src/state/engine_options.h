#pragma once

#include <cstddef>

namespace pelmora {

// How the engine schedules its work.  These settings change speed and
// memory, never a single bit of what is computed or printed.
struct EngineOptions {
  // Worker threads, at least 1: the forward and backward passes of trajectory
  // mode run side by side, the runs of the likelihood scan share the workers.
  int threads = 1;
  // Bytes the likelihood scan may spend, over all workers together, on
  // keeping every forward row of a run.  Above it each worker keeps only
  // checkpoints and recomputes the rows a stretch at a time.  The program
  // sets it from the machine's memory.
  std::size_t row_storage_budget = std::size_t{1} << 30;
  // Checkpoint spacing in photons; 0 chooses about the square root of the
  // photon count.
  int checkpoint_spacing = 0;
};

}  // namespace pelmora
