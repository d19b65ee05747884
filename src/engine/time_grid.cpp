#include "engine/time_grid.h"

#include "state/photon_list.h"

namespace pelmora {

SliceSchedule forward_slice_schedule(const PhotonList& photons, int slices) {
  const int count = photons.photon_count;
  const std::vector<double>& time = photons.photon_times;
  SliceSchedule schedule;
  schedule.photon.resize(static_cast<std::size_t>(slices));
  schedule.time.resize(static_cast<std::size_t>(slices));
  int i = 0;
  for (int j = 0; j < slices; ++j) {
    double t = slice_time(photons.start_time, photons.end_time, j, slices);
    if (j == slices - 1) {
      t = photons.end_time;
      i = count - 1;
    } else {
      while (i + 1 < count && t >= time[i + 1]) ++i;
    }
    schedule.photon[static_cast<std::size_t>(j)] = i;
    schedule.time[static_cast<std::size_t>(j)] = t;
  }
  return schedule;
}

SliceSchedule backward_slice_schedule(const PhotonList& photons, int slices) {
  const int count = photons.photon_count;
  const std::vector<double>& time = photons.photon_times;
  SliceSchedule schedule;
  schedule.photon.resize(static_cast<std::size_t>(slices));
  schedule.time.resize(static_cast<std::size_t>(slices));
  int i = count - 1;
  for (int j = slices - 1; j >= 0; --j) {
    double t = slice_time(photons.start_time, photons.end_time, j, slices);
    if (j == 0) {
      t = photons.start_time;
      i = 0;
    } else {
      while (i > 0 && t <= time[i - 1]) --i;
    }
    schedule.photon[static_cast<std::size_t>(j)] = i;
    schedule.time[static_cast<std::size_t>(j)] = t;
  }
  return schedule;
}

}  // namespace pelmora
