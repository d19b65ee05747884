// The bursts a scan analyses, as photon records, with where they came from:
// the windows of a measurement's burst table (or of its search), each with
// its photon record and counts, or photon records of their own (photon
// files, arrays of a program).  A share of the table (--shard i/k) holds
// only its own bursts, each with its position in the whole table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "bursts/background.h"
#include "bursts/burst.h"
#include "bursts/burst_search.h"
#include "bursts/burst_selection.h"
#include "bursts/scan_request.h"
#include "bursts/shard.h"
#include "input/measurement.h"
#include "state/observer.h"
#include "state/photon_list.h"

namespace pelmora {

// A measurement's background rates over the whole of it (photons per second
// of real time), when they were estimated.
struct BackgroundRates {
  double all_hz = 0;
  double donor_hz = 0;
  double acceptor_hz = 0;
  bool operator==(const BackgroundRates&) const = default;
};

struct MeasurementSource {
  std::string path;  // as the caller named it
  std::uint64_t size_bytes = 0;
  std::string description;        // measurement_text: "input=PATH size=N type=T ..."
  std::string bursts_from;        // "table FILE", or the search and its options
  std::int64_t table_bursts = 0;  // bursts in the whole table
  std::string table_fingerprint;  // windows_fingerprint of the whole table
  std::optional<BackgroundRates> background;
  // The measurement's identity beside its size: photons_fingerprint of the
  // photons analysed.  Empty in the shares of earlier versions.
  std::string photons_crc32;
  bool operator==(const MeasurementSource&) const = default;
};

// Photon files, one burst each.
struct PhotonFileSource {
  std::vector<std::string> names;  // as the caller named them
  std::vector<std::uint64_t> sizes;
  bool operator==(const PhotonFileSource&) const = default;
};

// Photon records a program handed over (arrays from Python).
struct RecordSource {
  std::int64_t records = 0;
  bool operator==(const RecordSource&) const = default;
};

using BurstSource = std::variant<MeasurementSource, PhotonFileSource, RecordSource>;

struct BurstRecord {
  std::size_t position = 0;  // in the whole table, 0-based
  BurstWindow window;        // a record's own: the span of its photons
  BurstCounts counts;
  PhotonList photons;  // empty when refused
  // Why the burst cannot be held as a photon record; empty when it can.
  std::string refused;
  // The background photons its window is expected to hold, when the
  // measurement's background was estimated.
  std::optional<BackgroundCounts> expected_background;
  // Photons moved apart as simultaneous while its record was made (each a
  // kSimultaneousPhotons warning, counted rather than passed on).
  int simultaneous_photons = 0;
};

struct BurstRecords {
  BurstSource source;
  std::size_t table_bursts = 0;  // all shares together
  std::optional<Shard> shard;    // when these are one share of the table
  std::vector<BurstRecord> bursts;
  // Sentences of a background estimate that fell back or is weak.
  std::vector<std::string> warnings;
  // Bursts of an ALEX measurement that look single-colour, when nothing
  // selected them by S (the front end says how to select them away).
  std::optional<StoichiometryWarning> stoichiometry;

  bool from_measurement() const { return std::holds_alternative<MeasurementSource>(source); }
};

// Which bursts of a measurement: a table's windows, or those the search finds,
// and of those the ones in every range of `ranges` (burst_selection.h).
struct BurstSelection {
  std::optional<std::vector<BurstWindow>> table;
  std::string table_name;     // for the settings: "table " + table_name
  BurstSearchOptions search;  // its background window also serves background auto
  std::vector<BurstRange> ranges;
};

// The bursts of a measurement (those of `shard` only, when given), each with
// its photon record; a burst whose photons cannot be held as a record
// (burst_photon_list) is kept with the reason.  The measurement's background
// is estimated when the search needs it (F) or the request's background is
// auto (resolved_background); it is estimated as well, without entering the
// records' source, when the bursts' streams need it (a selection, an ALEX
// measurement, direct excitation).  Refuses (kInput) ranges and corrections
// the measurement cannot give (check_ranges_for, check_corrections_for).
// Selected bursts are the table the shares share: `table_bursts` counts
// them.
BurstRecords measurement_records(const Measurement& measurement, const BurstSelection& selection,
                                 const ScanRequest& request, const std::optional<Shard>& shard,
                                 Observer& observer);

// Photon files, one burst each (those of `shard` only, when given); each
// burst's window is the span of its photons.  kIo when a file cannot be
// read.
BurstRecords photon_file_records(std::span<const std::string> names,
                                 const std::optional<Shard>& shard, Observer& observer);

// A photon record as a program holds it: times in mu s and colours (1: an
// acceptor photon).
struct PhotonArrays {
  std::span<const double> times_us;
  std::span<const std::uint8_t> acceptor;
};

// Records a program hands over, one burst each, held as
// photon_list_from_arrays holds them; the errors of one record name it
// ("burst 3: ...") when there are several.  Refuses (kInput) no records.
BurstRecords array_records(std::span<const PhotonArrays> records, Observer& observer);

// The bursts of share `shard` of `records` (a whole table), for scans on
// many processes: the share a scan of that share would hold.
BurstRecords records_share(const BurstRecords& records, const Shard& shard);

// The CRC-32 (8 hex digits) of the timestamps (as little-endian 64-bit
// integers) and then the flags of the measurement's analysed photons: the
// same photons give the same text on every machine.
std::string photons_fingerprint(const Measurement& measurement);

// One line naming a measurement: "input=PATH size=N type=T" and the
// alternation, for settings lines and results.
std::string measurement_text(const MeasurementDescription& description);

// A short fingerprint of a burst list (FNV-1a of its windows), so that runs
// on different tables are told apart.
std::string windows_fingerprint(std::span<const BurstWindow> windows);

}  // namespace pelmora
