// The output time grid: T slices spanning the photon record, of which the
// interior ones 1..T-2 are the user's slices.  Every slice starts afresh from
// one photon's scan row: going forward from the last photon at or before it,
// going backward from the first photon at or after it.
#pragma once

#include <vector>

#include "state/photon_list.h"

namespace pelmora {

// Time of slice j of `slices` slices spanning t_first..t_last (mu s): the
// product first, then divided, then added.
inline double slice_time(double t_first, double t_last, int j, int slices) {
  return t_first + (t_last - t_first) * j / (slices - 1);
}

struct SliceSchedule {
  std::vector<int> photon;   // per slice: the photon whose row it starts from
  std::vector<double> time;  // per slice: its time in mu s
};

// Forward: a photon exactly at a slice time counts as passed; the last slice
// is pinned to the last photon.
SliceSchedule forward_slice_schedule(const PhotonList& photons, int slices);

// Backward: a photon exactly at a slice time counts as not yet passed; the
// first slice is pinned to the first photon.
SliceSchedule backward_slice_schedule(const PhotonList& photons, int slices);

}  // namespace pelmora
