// A share of a scan (--shard i/k) as a file: its part of loglik.csv after a
// first line that describes it as one JSON object:
//
//   # pelmora-bursts share {"format_version":2,"pelmora_version":"0.3.0",...}
//   burst,t_start_s,t_stop_s,photons_analysed,D_m2_per_s,log_L
//   ...
//
// The object holds the share's header (ShareHeader: format, the release and
// the command that wrote it, the CRC-32 of every byte after the first
// line), which share of how many bursts it is, the
// scan's whole setup (scan_json.h: the source, the grid, every coefficient,
// the model, the background, the corrections), and for each burst what the
// lines cannot hold exactly (its window, counts, why it was left out, its
// boundary runs and flags).  Reading a share gives back the scan of its
// bursts to the bit, so that combine_scans of the shares is the one scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bursts/measurement_scan.h"
#include "bursts/provenance.h"

namespace pelmora {

inline constexpr std::string_view kShareLead = "# pelmora-bursts share ";

// Raised whenever the description changes in a way an older reader would
// misread; fields may be added without it.  Format 2 had no checksum: its
// shares are still read, with a warning.
inline constexpr int kShareFormatVersion = 3;
inline constexpr int kShareFormatWithoutChecksum = 2;

// A share's first line may hold this many bytes (it describes each burst:
// some 200 bytes a burst), each line after it 1 MiB.  The lines a share may
// hold follow from its first line: one per burst and cell, with room for
// some blank ones.
inline constexpr std::size_t kMaxShareDescriptionBytes = std::size_t{64} << 20;
inline constexpr std::size_t kMaxShareLineBytes = std::size_t{1} << 20;
inline constexpr std::size_t kShareBlankLines = 1000;

struct ShareHeader {
  int format_version = kShareFormatVersion;
  Provenance provenance;  // of the scan that wrote the share
  // CRC-32 of the lines after the first one, every byte as written; none in
  // format 2.
  std::optional<std::uint32_t> data_crc32;
};

struct ShareFile {
  ShareHeader header;
  MeasurementScan scan;  // the share's bursts, with scan.share set
  // The reader's warnings: a share of format 2, whose lines cannot be
  // checked.
  std::vector<std::string> warnings;
};

// The file's text for a scan that is a share (scan.share set).
std::string share_text(const MeasurementScan& share, const Provenance& provenance);

// A share's text; `name` names it in errors ("Share s.csv: ...", kInput).
// Refuses a text that is not a share, a format before 2 (or one written by
// another release, whose numbers may differ), a damaged description, a
// last line cut short (no line end), lines that do not match the checksum
// of the first line, and lines that do not match the description.  A burst
// whose log L is NaN at some cell (rounding residue) is carried as left
// out, as the scan leaves it out of the joint sum.
ShareFile parse_share(std::string_view text, const std::string& name);

// The one place that reads a share file: as parse_share, the file read
// within the bounds above (kInput naming the line past them; kIo when it
// cannot be read).
ShareFile read_share_file(const std::string& path);

}  // namespace pelmora
