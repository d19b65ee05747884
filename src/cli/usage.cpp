#include "cli/usage.h"

#include "cli/console.h"

namespace pelmora {

// The default maximum coefficient is 10.0, not the 100.0 this text names;
// the text is kept as users know it.
std::string_view usage_text() {
  return "\n"
         "usage: pelmora [-R radius] [-min min_distance] [-max max_distance]\n"
         "                 [-d #distance_bins] [-t #time_bins | -dt time_increment]\n"
         "                 [-D diff_coeff | -Dmin min_coeff -Dmax max_coeff -n #runs]\n"
         "                 infile [-s] [-eps] [outfile] [-xmgr] [traj-file]\n"
         "\n"
         "  radius:         Foerster radius [nm] (default: 6.5)\n"
         "  min_distance:   smallest distance considered [nm] (default: 0.0)\n"
         "  max_distance:   largest  distance considered [nm] (default: 2*radius)\n"
         "  #distance_bins: number of grid points for distance axis (default: 400)\n"
         "  #time_bins:     number of grid points for time axis (default: 1000)\n"
         "  time_increment: grid resolution for time axis [mu s]\n"
         "  diff_coeff:     diffusion coefficient [1e-14 m^2/s] (default: 1.0)\n"
         "  min_coeff:      minimum diffusion coefficient [1e-14 m^2/s] (default: 0.01)\n"
         "  max_coeff:      maximum diffusion coefficient [1e-14 m^2/s] (default: 100.0)\n"
         "  #runs:          output likelihood for #runs different diffusion coefficients\n"
         "  infile:         input file for photon arrival times\n"
         "  outfile:        output file for distance distribution map or likelihood\n"
         "  -s              write distance distribution in short format for pictures\n"
         "  -eps            write distance distribution to encapsulated postscript file\n"
         "  traj-file:      if given, write average trajectory and deviation to traj-file\n"
         "  -xmgr           write trajectory in xmgr-format\n"
         "\n"
         "    If -D is given (default), only one run is performed,\n"
         "          and a distance distribution map is written to outfile.\n"
         "    If -Dmin and -Dmax are given, #runs runs are performed,\n"
         "          and the likelihood for each D-value is written to outfile.\n"
         "\n";
}

void print_usage(Console& console) {
  console.write(usage_text());
}

}  // namespace pelmora
