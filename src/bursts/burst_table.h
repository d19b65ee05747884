// The burst table: a CSV file with one line per burst, the columns of
// bursts/burst_columns.h,
//
//   burst,t_start_s,t_stop_s,photons_window,photons_analysed,n_dd,n_da,n_aa,
//     n_dd_corr,n_da_corr,n_aa_corr,E_raw,S_raw,E,S          (one line)
//   0,12.000345000,12.002117125,84,70,41,29,14,40.884,28.930,13.952,0.414383,
//     0.834145,0.414383,0.834145
//
// (an empty field where a value is not defined).  The search writes every
// column; a table made elsewhere, or by an earlier version (burst,t_start_s,
// t_stop_s,photons,donor,acceptor,raw_E), needs only the first three, under
// a header line that names them in that order (the header
// is required, so that a table with other columns first, or without a header,
// is refused instead of misread).  Further columns are ignored.  Lines may end
// in "\n" or "\r\n"; blank lines are skipped; fields may have blanks around
// them and may stand in double quotes.  Times are seconds of the measurement (timestamp * unit).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bursts/burst.h"
#include "input/bounded_text.h"
#include "output/stop_request.h"

namespace pelmora {

inline constexpr std::string_view kBurstTableHeader =
    "burst,t_start_s,t_stop_s,photons_window,photons_analysed,n_dd,n_da,n_aa,n_dd_corr,n_da_corr,"
    "n_aa_corr,E_raw,S_raw,E,S";

// The table's text.  Times are written with nine decimals, a start rounded
// down and a stop rounded up, so that reading the table back never selects
// fewer photons; for the search's bursts, whose times are such values
// already, the text reads back as exactly the same doubles.
std::string burst_table_text(std::span<const Burst> bursts);

// Writes burst_table_text() to `path`; a failure throws kIo, and `stop`
// saying stop kCancelled, and either leaves the earlier file as it was.
void write_burst_table(const std::string& path, std::span<const Burst> bursts,
                       StopRequest stop = {});

// The bursts of a table's text.  `name` is the file as the user named it, for
// the messages.  Refused, as kInput "Burst table NAME, line N: ...": a
// missing or different header, a line with another number of columns than
// the header, a burst number that is not a whole number, a time that is not
// a finite number, a stop before its start, a burst that starts before the
// previous one or not after the previous one's stop (overlap), a burst number
// seen before, and a table without bursts.
std::vector<BurstWindow> parse_burst_table(std::string_view text, std::string_view name);

// Reads and parses the file `path` line by line; an unreadable file throws
// kIo.  A line longer than 1 MiB, or more than 10^7 lines, are refused as
// kInput naming the line, before more of the file is read.
std::vector<BurstWindow> read_burst_table(const std::string& path);
// The same from a reader that is open (its bounds are the caller's).
std::vector<BurstWindow> read_burst_table(BoundedTextReader& text);

}  // namespace pelmora
