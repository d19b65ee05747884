// A share of a scan (--shard i/k) as a file: its part of loglik.csv after a
// first line that describes it as one JSON object:
//
//   # pelmora-bursts share {"format_version":2,"pelmora_version":"0.3.0",...}
//   burst,t_start_s,t_stop_s,photons_analysed,D_m2_per_s,log_L
//   ...
//
// The object holds the share's header (ShareHeader: format, the release and
// the command that wrote it), which share of how many bursts it is, the
// scan's whole setup (scan_json.h: the source, the grid, every coefficient,
// the model, the background, the corrections), and for each burst what the
// lines cannot hold exactly (its window, counts, why it was left out, its
// boundary runs and flags).  Reading a share gives back the scan of its
// bursts to the bit, so that combine_scans of the shares is the one scan.
#pragma once

#include <string>
#include <string_view>

#include "bursts/measurement_scan.h"
#include "bursts/provenance.h"

namespace pelmora {

inline constexpr std::string_view kShareLead = "# pelmora-bursts share ";

// Raised whenever the description changes in a way an older reader would
// misread; fields may be added without it.
inline constexpr int kShareFormatVersion = 2;

struct ShareHeader {
  int format_version = kShareFormatVersion;
  Provenance provenance;  // of the scan that wrote the share
};

struct ShareFile {
  ShareHeader header;
  MeasurementScan scan;  // the share's bursts, with scan.share set
};

// The file's text for a scan that is a share (scan.share set).
std::string share_text(const MeasurementScan& share, const Provenance& provenance);

// A share's text; `name` names it in errors ("Share s.csv: ...", kInput).
// Refuses a text that is not a share, an older format (or one written by
// another release, whose numbers may differ), a damaged description, and
// lines that do not match it.
ShareFile parse_share(std::string_view text, const std::string& name);

// The one place that reads a share file (kIo when it cannot be read).
std::string read_share_file(const std::string& path);

}  // namespace pelmora
