#pragma once

#include "state/analysis_results.h"
#include "state/distance_grid.h"
#include "state/engine_options.h"
#include "state/observer.h"
#include "state/photon_list.h"

namespace pelmora {

// The distance distribution over time for one diffusion coefficient
// (m^2/s): the forward and backward passes over the photons, and the rows of
// both on the output time grid of time_bins + 2 slices, with the progress of
// the four passes (photons forward, photons backward, grid forward, grid
// backward) reported in that order.
//
// Each slice is propagated from its photon's row while the pass goes by that
// photon, so no photon row outlives its use.  With two or more threads the
// backward pass runs beside the forward one and its progress is reported once
// the forward pass is done; the reports are the same either way.
//
// The caller refuses colours the grid cannot explain first
// (check_photon_colours).  Throws kInput for a record without a time axis
// (every photon at one time), kComputation when a distribution vanishes (the
// error the passes would meet first one after another), and kCancelled when
// the observer asks to stop.
TrajectoryResult compute_trajectory(const PhotonList& photons, const DistanceGrid& grid,
                                    double diff_coeff, int time_bins, const EngineOptions& engine,
                                    Observer& observer);

}  // namespace pelmora
