#pragma once

#include <string>

namespace pelmora {

// The options of one run as the command line gives them, after defaults,
// checks and unit conversion.  A numeric field of 0 stands for "option not
// given" until the defaults are applied.  A file-name slot holding a single
// blank counts as not given.
struct RunSettings {
  double foerster_radius = 0.0;  // nm (-R)
  double min_distance = 0.0;     // nm (-min)
  double max_distance = 0.0;     // nm (-max)
  int distance_bins = 400;       // (-d)
  int time_bins = 0;             // (-t), or derived from time_increment
  double time_increment = 0.0;   // mu s (-dt)
  double diff_coeff = 0.0;       // entered in 1e-14 m^2/s, held in m^2/s (-D)
  double min_coeff = 0.0;        // as diff_coeff (-Dmin)
  double max_coeff = 0.0;        // as diff_coeff (-Dmax)
  int runs = 0;                  // (-n)
  bool short_format = false;     // -s
  bool eps_output = false;       // -eps
  bool xmgr_output = false;      // -xmgr
  std::string infile = " ";
  std::string outfile = " ";
  std::string traj_file = " ";

  // Derived.
  bool scan_mode = false;         // likelihood scan over a range of coefficients
  bool write_trajectory = false;  // traj_file given, trajectory mode
};

// A name slot counts as given unless it holds the single-blank placeholder.
inline bool name_given(const std::string& slot) {
  return slot != " ";
}

}  // namespace pelmora
