#include "bursts/burst_records.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/crc32.h"
#include "base/error.h"
#include "bursts/burst_photon_list.h"
#include "bursts/burst_photons.h"
#include "bursts/burst_streams.h"
#include "bursts/colour_shares.h"
#include "bursts/counting_observer.h"
#include "input/photon_arrays.h"
#include "input/photon_reader.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

std::string search_text(const BurstSearchOptions& options) {
  std::string text =
      options.min_rate_khz
          ? format_text("search m=%d min-rate=%.17g kHz min-photons=%d", options.m,
                        *options.min_rate_khz, options.min_photons)
          : format_text("search m=%d F=%.17g bg-window=%.17g s min-photons=%d", options.m,
                        options.F, options.background_window_s, options.min_photons);
  // Named only when not the default, so that the settings of a default
  // search read as they always have.
  if (options.method != BurstSearchMethod::kAllPhotons) {
    text += std::string(" method=") + burst_search_method_name(options.method);
  }
  return text;
}

std::string selection_text(std::span<const BurstRange> ranges) {
  std::string text;
  for (const BurstRange& range : ranges) text += (text.empty() ? " where " : ",") + range.text;
  return text;
}

bool needs_streams(const Measurement& measurement, const BurstSelection& selection,
                   const ScanRequest& request) {
  return !selection.ranges.empty() || has_acceptor_excitation(measurement.description) ||
         request.corrections.dir_ex != 0;
}

std::vector<std::size_t> positions_of(std::size_t count, const std::optional<Shard>& shard) {
  return shard_positions(count, shard.value_or(Shard{}));
}

BurstCounts record_counts(const PhotonList& photons) {
  BurstCounts counts;
  counts.photons = photons.photon_count;
  counts.donor = photons.donor_count;
  counts.acceptor = photons.acceptor_count;
  return counts;
}

BurstWindow record_window(std::size_t position, const PhotonList& photons) {
  BurstWindow window;
  window.number = static_cast<std::int64_t>(position);
  if (photons.photon_count > 0) {
    window.t_start_s = photons.start_time * 1e-6;
    window.t_stop_s = photons.end_time * 1e-6;
  }
  return window;
}

std::uint64_t size_of(const std::string& name) {
  std::error_code failure;
  const std::uintmax_t size = std::filesystem::file_size(name, failure);
  if (failure) throw Error(ErrorKind::kIo, "Could not read from file " + name);
  return static_cast<std::uint64_t>(size);
}

}  // namespace

BurstRecords measurement_records(const Measurement& measurement, const BurstSelection& selection,
                                 const ScanRequest& request, const std::optional<Shard>& shard,
                                 Observer& observer) {
  MeasurementSource source;
  source.path = measurement.description.path;
  source.size_bytes = measurement.description.file_size;
  source.description = measurement_text(measurement.description);
  check_ranges_for(selection.ranges, measurement.description);
  check_corrections_for(request.corrections, measurement.description);
  source.photons_crc32 = photons_fingerprint(measurement);
  std::vector<Burst> bursts;
  std::optional<Background> background;
  if (selection.table) {
    for (const BurstWindow& window : *selection.table) {
      Burst burst;
      burst.window = window;
      burst.counts = count_burst_photons(measurement, window.t_start_s, window.t_stop_s);
      bursts.push_back(burst);
    }
    source.bursts_from = "table " + selection.table_name;
  } else {
    BurstSearchOptions search = selection.search;
    search.corrections = request.corrections;
    MeasurementSearch found = search_measurement(measurement, search);
    background = std::move(found.background);
    bursts = std::move(found.found.bursts);
    source.bursts_from = search_text(selection.search);
  }
  // Bursts from a table (or a search by rate) still have the background the
  // search would have estimated.
  if (!background && resolved_background(request, true).mode == BackgroundChoice::Mode::kAuto) {
    background = estimate_background(measurement, selection.search.background_window_s);
  }
  // The streams' background: that of the search or of background auto, or
  // one of their own, which the scan's background does not take.
  std::optional<Background> streams_background = background;
  if (!streams_background && !selection.search.min_rate_khz &&
      needs_streams(measurement, selection, request)) {
    streams_background = estimate_background(measurement, selection.search.background_window_s);
  }
  for (Burst& burst : bursts) {
    burst.streams = burst_streams(
        burst.counts,
        streams_background ? expected_background(*streams_background, burst.window.t_start_s,
                                                 burst.window.t_stop_s)
                           : BackgroundCounts{},
        request.corrections);
  }
  std::optional<StoichiometryWarning> stoichiometry =
      stoichiometry_warning(bursts, selection.ranges, measurement.description);
  if (!selection.ranges.empty()) {
    std::vector<Burst> selected;
    for (const std::size_t b : select_bursts(bursts, selection.ranges)) {
      selected.push_back(bursts[b]);
    }
    if (selected.empty()) {
      throw Error(ErrorKind::kInput,
                  format_text("No burst of %zu lies in%s; nothing to analyse.", bursts.size(),
                              selection_text(selection.ranges).substr(6).c_str()));
    }
    bursts = std::move(selected);
    source.bursts_from += selection_text(selection.ranges);
  }
  std::vector<BurstWindow> windows;
  for (const Burst& burst : bursts) windows.push_back(burst.window);
  BurstRecords records;
  records.stoichiometry = stoichiometry;
  if (background) {
    records.warnings = background->warnings;
    source.background =
        BackgroundRates{background->whole.all.rate_hz, background->whole.donor.rate_hz,
                        background->whole.acceptor.rate_hz};
  }
  source.table_bursts = static_cast<std::int64_t>(windows.size());
  source.table_fingerprint = windows_fingerprint(windows);
  records.table_bursts = windows.size();
  records.shard = shard;
  CountingObserver counting(observer);
  for (const std::size_t position : positions_of(windows.size(), shard)) {
    BurstRecord record;
    record.position = position;
    record.window = windows[position];
    record.counts = bursts[position].counts;
    if (streams_background) {
      record.expected_background =
          expected_background(*streams_background, record.window.t_start_s, record.window.t_stop_s);
    }
    const int before = counting.simultaneous_photons();
    try {
      record.photons = burst_photon_list(measurement, record.window, counting);
    } catch (const Error& error) {
      if (error.kind() != ErrorKind::kInput) throw;
      record.refused = error.message();
    }
    record.simultaneous_photons = counting.simultaneous_photons() - before;
    records.bursts.push_back(std::move(record));
  }
  records.source = std::move(source);
  return records;
}

BurstRecords photon_file_records(std::span<const std::string> names,
                                 const std::optional<Shard>& shard, Observer& observer) {
  PhotonFileSource source;
  source.names.assign(names.begin(), names.end());
  for (const std::string& name : names) source.sizes.push_back(size_of(name));
  BurstRecords records;
  records.table_bursts = names.size();
  records.shard = shard;
  CountingObserver counting(observer);
  for (const std::size_t position : positions_of(names.size(), shard)) {
    BurstRecord record;
    record.position = position;
    const int before = counting.simultaneous_photons();
    record.photons = read_photon_file(names[position], counting);
    record.simultaneous_photons = counting.simultaneous_photons() - before;
    record.window = record_window(position, record.photons);
    record.counts = record_counts(record.photons);
    records.bursts.push_back(std::move(record));
  }
  records.source = std::move(source);
  return records;
}

BurstRecords array_records(std::span<const PhotonArrays> arrays, Observer& observer) {
  if (arrays.empty()) throw Error(ErrorKind::kInput, "No bursts to scan.");
  BurstRecords records;
  records.source = RecordSource{static_cast<std::int64_t>(arrays.size())};
  records.table_bursts = arrays.size();
  CountingObserver counting(observer);
  for (std::size_t position = 0; position < arrays.size(); ++position) {
    BurstRecord record;
    record.position = position;
    const int before = counting.simultaneous_photons();
    try {
      record.photons =
          photon_list_from_arrays(arrays[position].times_us, arrays[position].acceptor, counting);
    } catch (const Error& error) {
      if (arrays.size() == 1) throw;
      throw Error(error.kind(), format_text("burst %zu: ", position) + error.message(),
                  error.layout());
    }
    record.simultaneous_photons = counting.simultaneous_photons() - before;
    record.window = record_window(position, record.photons);
    record.counts = record_counts(record.photons);
    records.bursts.push_back(std::move(record));
  }
  return records;
}

BurstRecords records_share(const BurstRecords& records, const Shard& shard) {
  if (records.shard) {
    throw Error(ErrorKind::kInput, "The bursts are a share already; share the whole table.");
  }
  BurstRecords share;
  share.source = records.source;
  share.table_bursts = records.table_bursts;
  share.shard = shard;
  share.warnings = records.warnings;
  for (const BurstRecord& record : records.bursts) {
    if (in_shard(record.position, shard)) share.bursts.push_back(record);
  }
  return share;
}

std::string windows_fingerprint(std::span<const BurstWindow> windows) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  const auto mix = [&hash](const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3u;
  };
  for (const BurstWindow& window : windows) {
    mix(&window.number, sizeof window.number);
    mix(&window.t_start_s, sizeof window.t_start_s);
    mix(&window.t_stop_s, sizeof window.t_stop_s);
  }
  return format_text("%016llx", static_cast<unsigned long long>(hash));
}

std::string photons_fingerprint(const Measurement& measurement) {
  std::uint32_t crc = 0;
  constexpr std::size_t kBlock = 4096;
  char bytes[kBlock * 8];
  const std::vector<std::int64_t>& times = measurement.timestamps;
  for (std::size_t from = 0; from < times.size(); from += kBlock) {
    const std::size_t count = std::min(kBlock, times.size() - from);
    for (std::size_t k = 0; k < count; ++k) {
      const auto value = static_cast<std::uint64_t>(times[from + k]);
      for (int b = 0; b < 8; ++b) bytes[k * 8 + b] = static_cast<char>((value >> (8 * b)) & 0xff);
    }
    crc = crc32_of(std::string_view(bytes, count * 8), crc);
  }
  const std::vector<std::uint8_t>& flags = measurement.flags;
  crc = crc32_of(std::string_view(reinterpret_cast<const char*>(flags.data()), flags.size()), crc);
  return crc32_text(crc);
}

std::string measurement_text(const MeasurementDescription& d) {
  std::string text =
      format_text("input=%s size=%llu type=%s", d.path.c_str(),
                  static_cast<unsigned long long>(d.file_size), d.measurement_type.c_str());
  if (d.spot) text += format_text(" spot=%d", *d.spot);
  if (d.alex) {
    text += format_text(
        " alex-period=%lld alex-offset=%lld donor-window=%lld:%lld",
        static_cast<long long>(d.alex->period), static_cast<long long>(d.alex->offset),
        static_cast<long long>(d.alex->donor_start), static_cast<long long>(d.alex->donor_stop));
    for (const auto& [start, stop] : d.alex->nanotime_windows) {
      text += format_text(" nanotimes=%lld:%lld", static_cast<long long>(start),
                          static_cast<long long>(stop));
    }
  }
  return text;
}

}  // namespace pelmora
