#include "output/trajectory_writer.h"

#include <cmath>
#include <vector>

#include "output/result_file.h"
#include "state/written_slices.h"

namespace pelmora {

namespace {

void write_plain_trajectory(const WrittenSlices& slices, ResultFile& file) {
  for (int i = slices.first(); i <= slices.last(); ++i) {
    const SliceMoments moments = slices.moments(i);
    file.fixed(slices.time_label(i));
    file.character(' ');
    file.fixed(moments.mean);
    file.character(' ');
    file.fixed(moments.deviation);
    file.character('\n');
  }
}

constexpr const char* kXmgrHeader =
    "@xaxis tick major 2\n"
    "@xaxis tick minor 1\n"
    "@yaxis tick major 2\n"
    "@yaxis tick minor 1\n"
    "@s0 linestyle 1\n"
    "@s0 linewidth 4\n"
    "@s0 color 1\n"
    "@s1 linestyle 1\n"
    "@s1 linewidth 2\n"
    "@s1 color 1\n"
    "@s2 linestyle 1\n"
    "@s2 linewidth 2\n"
    "@s2 color 1\n"
    "@s3 linestyle 3\n"
    "@s3 linewidth 2\n"
    "@s3 color 1\n"
    "@s4 linestyle 3\n"
    "@s4 linewidth 2\n"
    "@s4 color 1\n"
    "@s5 linestyle 0\n"
    "@s5 symbol 10\n"
    "@s5 symbol size 0.8\n"
    "@s5 symbol fill 0\n"
    "@s5 symbol color 3\n"
    "@s5 symbol linewidth 2\n"
    "@s6 linestyle 0\n"
    "@s6 symbol 10\n"
    "@s6 symbol size 0.8\n"
    "@s6 symbol fill 0\n"
    "@s6 symbol color 2\n"
    "@s6 symbol linewidth 2\n"
    "@xaxis label \"time [ms]\"\n"
    "@yaxis label \"distance [nm]\"\n"
    "@legend on\n"
    "@legend box on\n"
    "@legend box fill on\n"
    "@legend box fill with color\n"
    "@legend box fill color 0\n"
    "@legend char size 0.7\n"
    "@legend x1 0.72\n"
    "@legend y1 0.77\n"
    "@legend string 0 \"average distance\"\n"
    "@legend string 1 \"1-sigma range\"\n"
    "@legend string 3 \"2-sigma range\"\n"
    "@legend string 5 \"donor photons\"\n"
    "@legend string 6 \"acceptor photons\"\n";

void write_point(ResultFile& file, double x, double y) {
  file.fixed(x);
  file.character(' ');
  file.fixed(y);
  file.character('\n');
}

void write_xmgr_trajectory(const WrittenSlices& slices, const PhotonList& photons,
                           const AnalysisSettings& settings, ResultFile& file) {
  const double min = settings.min_distance;
  const double max = settings.max_distance;
  const double t_first = slices.t_first();

  file.text("@subtitle \"FRET Maximum Likelihood Trajectory Distribution\"\n");
  file.text("@with g0\n");
  file.format("@world xmin %f\n", 0.0);
  file.format("@world xmax %f\n", (slices.t_last() - t_first) / 1000);
  file.format("@world ymin %f\n", min);
  file.format("@world ymax %f\n", max);
  file.text(kXmgrHeader);

  std::vector<SliceMoments> moments;
  moments.reserve(static_cast<std::size_t>(slices.count()));
  for (int i = slices.first(); i <= slices.last(); ++i) moments.push_back(slices.moments(i));

  // s0 to s4: the average and the 1- and 2-sigma bands, x in ms from the
  // first photon.
  const auto band = [](const SliceMoments& m, int set) {
    switch (set) {
      case 0:
        return m.mean;
      case 1:
        return m.mean - m.deviation;
      case 2:
        return m.mean + m.deviation;
      case 3:
        return m.mean - 2 * m.deviation;
      default:
        return m.mean + 2 * m.deviation;
    }
  };
  for (int set = 0; set <= 4; ++set) {
    file.text("@TYPE xy\n");
    for (int i = slices.first(); i <= slices.last(); ++i) {
      write_point(file, (slices.time_label(i) - t_first) / 1000,
                  band(moments[static_cast<std::size_t>(i - slices.first())], set));
    }
    file.text("&\n");
  }

  // s5 donor and s6 acceptor markers; the last photon gets none.
  const double donor_height = max - 0.05 * (max - min);
  const double acceptor_height = min + 0.05 * (max - min);
  const int marked = photons.photon_count - 1;
  file.text("@TYPE xy\n");
  for (int k = 0; k < marked; ++k) {
    if (photons.photon_types[static_cast<std::size_t>(k)] == kDonorPhoton) {
      write_point(file, (photons.photon_times[static_cast<std::size_t>(k)] - t_first) / 1000,
                  donor_height);
    }
  }
  file.text("&\n");
  file.text("@TYPE xy\n");
  for (int k = 0; k < marked; ++k) {
    if (photons.photon_types[static_cast<std::size_t>(k)] == kAcceptorPhoton) {
      write_point(file, (photons.photon_times[static_cast<std::size_t>(k)] - t_first) / 1000,
                  acceptor_height);
    }
  }
}

}  // namespace

void write_average_trajectory(const TrajectoryResult& result, const PhotonList& photons,
                              const AnalysisSettings& settings, bool xmgr, const std::string& path,
                              const StopRequest& stop) {
  const WrittenSlices slices(result);
  ResultFile file(path, stop);
  if (xmgr) {
    write_xmgr_trajectory(slices, photons, settings, file);
  } else {
    write_plain_trajectory(slices, file);
  }
  file.close();
}

}  // namespace pelmora
