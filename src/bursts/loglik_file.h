// The per-burst log L of a scan as a CSV file, one line per burst and
// coefficient:
//
//   burst,t_start_s,t_stop_s,photons_analysed,D_m2_per_s,log_L
//   0,12.000345000,12.002117125,70,1e-16,-41.623412308470925
//
// and with a scanned model parameter one line per burst, value and
// coefficient, the value in a column of its own before D:
//
//   burst,t_start_s,t_stop_s,photons_analysed,rms_nm,D_m2_per_s,log_L
//
// log_L is printed with 17 significant digits, so that it reads back as the
// same double; it is empty for a burst left out of the joint sum.  A share of
// the bursts (--shard i/k) holds its bursts' lines after a line that
// describes the share (share_file.h).
#pragma once

#include <string>
#include <string_view>

#include "bursts/measurement_scan.h"

namespace pelmora {

inline constexpr std::string_view kLoglikHeader =
    "burst,t_start_s,t_stop_s,photons_analysed,D_m2_per_s,log_L";

// The header line of the scan's file (without its line end).
std::string loglik_header(const MeasurementScan& scan);

// The header and the lines of every burst of `scan`, in its order.
std::string loglik_text(const MeasurementScan& scan);

// Reads the header and the lines of `text` into the log L of `scan`'s bursts,
// which must be there already, in the file's order, with everything but
// their log L.  Refuses (kInput, "Share NAME, line L: ...", counting from
// `first_line`) lines that do not belong to those bursts or to the scan's
// cells, and a burst with log L at some of its cells only.  A burst with a
// log L of NaN at some cell is left out as collapsed (its distribution lost
// to rounding residue), as the scan leaves it out.
void read_loglik_lines(std::string_view text, std::string_view name, int first_line,
                       MeasurementScan& scan);

}  // namespace pelmora
