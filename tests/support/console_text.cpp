#include "support/console_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "state/text_format.h"

namespace pelmora::testing {

const char kNoErrors[] = "\n\nPelmora ready. No errors.\n\n";
const char kWithWarnings[] = "\n\nPelmora ready. There have been warnings.\n\n";
const char kFatal[] = "\n\nPelmora terminated with fatal error.\n\n";
const char kLogLikelihoodMask[] = "<log L>";
const char kRunBoundaryWarning[] = "    WARNING: possible boundary artifacts";

std::string printed(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = format_text_list(format, args);
  va_end(args);
  return text;
}

std::vector<PhotonRecord> alternating_record() {
  std::vector<PhotonRecord> photons;
  for (int k = 0; k <= 200; ++k) photons.push_back({5.0 * k, k % 2 == 0 ? kDonor : kAcceptor});
  return photons;
}

std::string photon_file_text(const std::vector<PhotonRecord>& photons) {
  std::string text;
  for (std::size_t k = 0; k < photons.size(); ++k) {
    text += printed("%zu 0 %.6f %d 0 0 0 0\n", k + 1, photons[k].time,
                    photons[k].type == kDonor ? 0 : 4);
  }
  return text;
}

std::string reader_text(const std::string& name, const std::vector<PhotonRecord>& photons) {
  int donors = 0;
  for (const PhotonRecord& photon : photons) donors += photon.type == kDonor ? 1 : 0;
  const double start = photons.front().time;
  const double end = photons.back().time;
  return "\n  Reading photon arrival times from file " + name + " ... Done.\n" +
         printed("    Read %zu photons (%d donor, %zu acceptor).\n", photons.size(), donors,
                 photons.size() - static_cast<std::size_t>(donors)) +
         printed("    Start time: %f mu s    End time: %f mu s   (Length: %f mu s)\n", start, end,
                 end - start);
}

std::string output_file_line(const std::string& outfile) {
  return "  Output file for distance distribution map or likelihood: " + outfile + "\n";
}

std::string trajectory_file_line(const std::string& traj_file, bool xmgr) {
  return (xmgr ? "  Output file for average trajectory (xmgr-format): "
               : "  Output file for average trajectory: ") +
         traj_file + "\n";
}

std::string summary_text(const Summary& s) {
  const double width = s.max_distance - s.min_distance;
  std::string text = printed("  Foerster radius: %g nm\n", s.radius);
  text += printed("  Smallest distance considered %g nm (internal: %g nm)\n", s.min_distance,
                  s.min_distance - width);
  text += printed("  Largest  distance considered %g nm (internal: %g nm)\n", s.max_distance,
                  s.max_distance + width);
  if (!s.scan_mode) text += printed("  Number of grid points for time axis: %d\n", s.time_bins);
  text += printed("  Number of grid points for distance axis: %d (internal: %d)\n", s.distance_bins,
                  3 * s.distance_bins);
  if (s.scan_mode) {
    text +=
        printed("  Will calculate likelihoods for %d different diffusion coefficients,\n", s.runs);
    text += printed("    ranging from %g m^2/s to %g m^2/s.\n", s.min_coeff * 1e-14,
                    s.max_coeff * 1e-14);
  } else {
    text +=
        printed("  Will calculate distance distribution for diffusion coefficient D = %g m^2/s\n",
                s.diff_coeff * 1e-14);
  }
  return text + "\n\n";
}

namespace {

// The percentage field whenever floor(100 m / divisor) changes, for m from
// `first` to `last`.
std::string percentages(int first, int last, int divisor) {
  std::string text;
  for (int m = first; m <= last; ++m) {
    const double p = std::floor(m * 100.0 / divisor);
    const double before = std::floor((m - 1) * 100.0 / divisor);
    if (p != before) text += printed("\b\b\b\b%3d%%", static_cast<int>(p));
  }
  return text;
}

}  // namespace

std::string photon_scans_text(int photon_count) {
  const std::string fields = percentages(1, photon_count - 1, photon_count - 1);
  return "Forward scan photons ...      " + fields + "  Done.\n" +
         "Backward scan photons ...     " + fields + "  Done.\n";
}

std::string grid_scans_text(int time_bins) {
  const int slices = time_bins + 2;
  const std::string fields = percentages(0, slices - 1, slices - 1);
  return "Forward scan grid ...         " + fields + "  Done.\n" +
         "Backward scan grid ...        " + fields + "  Done.\n";
}

std::string map_writer_text(const std::string& path, MapFormat format) {
  switch (format) {
    case MapFormat::kShort:
      return "\nWriting distance distribution P(r,t) to file " + path +
             " (short greyscale format)... ";
    case MapFormat::kEps:
      return "\nWriting distance distribution P(r,t) to encapsulated postscript file " + path +
             " ... ";
    case MapFormat::kPlain:
      break;
  }
  return "\nWriting distance distribution P(r,t) to file " + path + " ... ";
}

std::string trajectory_writer_text(const std::string& path, bool xmgr) {
  return std::string("Writing average trajectory and standard deviations to ") +
         (xmgr ? "xmgr-file " : "file ") + path + " ... ";
}

std::string boundary_warning_text(int affected, int time_bins) {
  return printed("\nWARNING: possible boundary artifacts (%d of %d time slices affected).\n",
                 affected, time_bins + 2) +
         "         Enlarge [-min,-max]-interval.\n\n";
}

std::string likelihood_writer_text(const std::string& path) {
  return "\nWriting (normalized) likelihood P(D) to file " + path + " ... ";
}

std::string write_error_text(const std::string& path) {
  return "\n\nERROR: Could not write to file " + path + "\n";
}

std::string scan_run_prefix(int run, int runs, double diff_coeff_si) {
  return printed("Run %3d of %3d:   D = %10.5e  m^2/s ", run, runs, diff_coeff_si);
}

std::vector<double> scan_coefficients(double min_si, double max_si, int runs) {
  const double a = std::log(min_si);
  const double b = std::log(max_si);
  std::vector<double> coefficients;
  for (int i = 0; i < runs; ++i) {
    coefficients.push_back(std::exp(a + (static_cast<double>(i) / (runs - 1)) * (b - a)));
  }
  return coefficients;
}

std::string expected_console(const CompleteRun& run) {
  const Summary& s = run.summary;
  std::string text =
      run.option_warnings + reader_text(run.infile, run.photons) + output_file_line(run.outfile);
  bool warned = !run.option_warnings.empty();
  if (s.scan_mode) {
    text += summary_text(s) + "\n";
    const std::vector<double> coefficients =
        scan_coefficients(s.min_coeff * 1e-14, s.max_coeff * 1e-14, s.runs);
    for (int i = 0; i < s.runs; ++i) {
      text += scan_run_prefix(i + 1, s.runs, coefficients[static_cast<std::size_t>(i)]) +
              "    log L = " + kLogLikelihoodMask +
              (run.every_run_warned ? kRunBoundaryWarning : "") + "\n";
    }
    text += likelihood_writer_text(run.outfile) + "Done.\n";
    warned = warned || run.every_run_warned;
  } else {
    if (!run.traj_file.empty()) text += trajectory_file_line(run.traj_file, run.xmgr);
    text += summary_text(s) + photon_scans_text(static_cast<int>(run.photons.size())) +
            grid_scans_text(s.time_bins) + map_writer_text(run.outfile, run.format) + "Done.\n";
    if (run.affected_slices > 0) {
      text += boundary_warning_text(run.affected_slices, s.time_bins);
      warned = true;
    }
    if (!run.traj_file.empty()) {
      text += trajectory_writer_text(run.traj_file, run.xmgr) + "Done.\n";
    }
  }
  return text + (warned ? kWithWarnings : kNoErrors);
}

std::string mask_log_likelihoods(const std::string& text, std::vector<double>& values) {
  static const std::string kLabel = "    log L = ";
  std::string masked;
  std::size_t from = 0;
  for (std::size_t at = text.find(kLabel); at != std::string::npos; at = text.find(kLabel, from)) {
    const std::size_t field = at + kLabel.size();
    const char* begin = text.c_str() + field;
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    const std::string shown(begin, static_cast<std::size_t>(end - begin));
    EXPECT_EQ(shown, printed("%10.5f", value)) << "log L field at offset " << field;
    values.push_back(value);
    masked += text.substr(from, field - from) + kLogLikelihoodMask;
    from = field + shown.size();
  }
  return masked + text.substr(from);
}

}  // namespace pelmora::testing
