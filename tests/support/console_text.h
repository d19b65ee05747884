// Expected console texts of complete runs, assembled from the program's
// documented messages, and photon files to run them on.  The end-to-end
// tests compare the binary's standard error with these byte for byte.
#pragma once

#include <string>
#include <vector>

namespace pelmora::testing {

// printf into a string.
std::string printed(const char* format, ...) __attribute__((format(printf, 1, 2)));

inline constexpr int kDonor = 1;
inline constexpr int kAcceptor = 2;

struct PhotonRecord {
  double time;  // microseconds; tests use values a float holds exactly
  int type;     // kDonor or kAcceptor
};

// Photons every 5 us from 0 to 1000 us, donor and acceptor in turn, which keeps
// the distance near the Foerster radius, inside the default range [0, 13] nm.
std::vector<PhotonRecord> alternating_record();

// Eight numbers a record: index, 0, time, code (0 donor, 4 acceptor), four 0.
std::string photon_file_text(const std::vector<PhotonRecord>& photons);

// The reader's lines for a file that reads without warnings, with the blank
// line that precedes them.
std::string reader_text(const std::string& name, const std::vector<PhotonRecord>& photons);

std::string output_file_line(const std::string& outfile);
std::string trajectory_file_line(const std::string& traj_file, bool xmgr);

// What the settings summary shows; option values in command-line units.
struct Summary {
  double radius = 6.5;
  double min_distance = 0.0;
  double max_distance = 13.0;
  int distance_bins = 400;
  bool scan_mode = false;
  int time_bins = 1000;     // trajectory mode
  double diff_coeff = 1.0;  // trajectory mode, 1e-14 m^2/s
  int runs = 20;            // scan mode
  double min_coeff = 0.01;  // scan mode, 1e-14 m^2/s
  double max_coeff = 10.0;  // scan mode, 1e-14 m^2/s
};
std::string summary_text(const Summary& summary);

// Headings, percentage fields and closing texts of the two photon scans
// (trajectory mode) and of the two grid scans for n user time slices.
std::string photon_scans_text(int photon_count);
std::string grid_scans_text(int time_bins);

enum class MapFormat { kPlain, kShort, kEps };
std::string map_writer_text(const std::string& path, MapFormat format);
std::string trajectory_writer_text(const std::string& path, bool xmgr);
std::string boundary_warning_text(int affected, int time_bins);
std::string likelihood_writer_text(const std::string& path);
std::string write_error_text(const std::string& path);

// The run line of scan mode up to its log L field.
std::string scan_run_prefix(int run, int runs, double diff_coeff_si);
// The coefficients of a scan over [min, max] (m^2/s), spaced evenly in log D.
std::vector<double> scan_coefficients(double min_si, double max_si, int runs);

extern const char kNoErrors[];
extern const char kWithWarnings[];
extern const char kFatal[];
extern const char kLogLikelihoodMask[];
extern const char kRunBoundaryWarning[];

// A run that completes: everything it prints after the banner follows from
// these fields.  In scan mode the log L values are masked (see below).
struct CompleteRun {
  std::vector<PhotonRecord> photons;
  std::string infile = "photons.txt";
  std::string outfile = "outfile.dat";
  std::string traj_file;  // none when empty, and ignored in scan mode
  bool xmgr = false;
  MapFormat format = MapFormat::kPlain;
  Summary summary;
  std::string option_warnings;    // printed while the options are checked
  int affected_slices = 0;        // trajectory mode: boundary warning when above 0
  bool every_run_warned = false;  // scan mode: each run line ends in the warning
};
std::string expected_console(const CompleteRun& run);

// Replaces every log L value of the scan's run lines by kLogLikelihoodMask,
// so that the rest of the text can be compared byte for byte.  Each value
// must be printed as "%10.5f" prints it, else the test fails.  The values
// are appended to `values` in the order printed.
std::string mask_log_likelihoods(const std::string& text, std::vector<double>& values);

}  // namespace pelmora::testing
