#pragma once

#include <cstddef>

namespace pelmora {

// How the engine schedules its work.  These settings change speed and
// memory, never a single bit of what is computed or printed.
struct EngineOptions {
  // Worker threads, at least 1: the forward and backward passes of trajectory
  // mode run side by side; in the likelihood scan two workers share each run
  // (its forward and its backward pass) and further workers take further runs.
  int threads = 1;
  // Bytes the likelihood scan may spend, over all workers together, on
  // keeping a row per photon of each run in progress (at most one run per
  // worker).  Above it a run keeps only checkpoints and recomputes the rows a
  // stretch at a time.  The program sets it from the machine's memory.
  std::size_t row_storage_budget = std::size_t{1} << 30;
  // Checkpoint spacing in photons; 0 chooses about the square root of the
  // photon count.
  int checkpoint_spacing = 0;
};

}  // namespace pelmora
