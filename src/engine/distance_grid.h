#pragma once

namespace pelmora {

struct RunState;

// Fills the efficiency arrays over the internal distance grid.
void init_distance_grid(RunState& state);

// Settles the FFT length for the internal grid and creates the work arrays.
void init_fft_arrays(RunState& state);

}  // namespace pelmora
