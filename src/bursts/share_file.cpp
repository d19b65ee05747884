#include "bursts/share_file.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "base/crc32.h"
#include "base/error.h"
#include "base/printable_text.h"
#include "bursts/loglik_file.h"
#include "bursts/scan_json.h"
#include "input/bounded_text.h"
#include "pelmora/version.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

[[noreturn]] void refuse(const std::string& name, const std::string& why) {
  throw Error(ErrorKind::kInput, "Share " + name + ": " + why);
}

// The bursts' facts as columns, each an array with one entry per burst.
Json bursts_json(const MeasurementScan& scan) {
  Json burst = Json::array(), start = Json::array(), stop = Json::array(),
       window_photons = Json::array(), donor = Json::array(), acceptor = Json::array(),
       photons = Json::array(), left_out = Json::array(), collapsed = Json::array(),
       boundary_runs = Json::array(), boundary_photons = Json::array(), residue = Json::array();
  for (const ScannedBurst& b : scan.bursts) {
    burst.push_back(b.window.number);
    start.push_back(b.window.t_start_s);
    stop.push_back(b.window.t_stop_s);
    window_photons.push_back(b.counts.photons);
    donor.push_back(b.counts.donor);
    acceptor.push_back(b.counts.acceptor);
    photons.push_back(b.photons);
    left_out.push_back(b.left_out);
    collapsed.push_back(b.collapsed);
    boundary_runs.push_back(b.boundary_runs);
    // Only the cells that have any: [cell, count] pairs, and cell numbers.
    Json pairs = Json::array(), cells = Json::array();
    for (std::size_t c = 0; c < b.boundary_photons.size(); ++c) {
      if (b.boundary_photons[c] != 0) pairs.push_back({c, b.boundary_photons[c]});
      if (b.residue_dominates[c] != 0) cells.push_back(c);
    }
    boundary_photons.push_back(pairs);
    residue.push_back(cells);
  }
  return Json{{"burst", burst},
              {"t_start_s", start},
              {"t_stop_s", stop},
              {"window_photons", window_photons},
              {"donor", donor},
              {"acceptor", acceptor},
              {"photons", photons},
              {"left_out", left_out},
              {"collapsed", collapsed},
              {"boundary_runs", boundary_runs},
              {"boundary_photons", boundary_photons},
              {"residue_dominates", residue}};
}

std::vector<ScannedBurst> bursts_from_json(const Json& json, const TableShare& share,
                                           std::size_t values, std::size_t cells) {
  const auto column = [&json](const char* name) -> const Json& {
    const Json& entries = json.at(name);
    if (!entries.is_array()) throw std::invalid_argument(std::string(name) + " is not an array");
    return entries;
  };
  const Json& labels = column("burst");
  const std::size_t count = labels.size();
  for (const char* name :
       {"t_start_s", "t_stop_s", "window_photons", "donor", "acceptor", "photons", "left_out",
        "collapsed", "boundary_runs", "boundary_photons", "residue_dominates"}) {
    if (column(name).size() != count) {
      throw std::invalid_argument(std::string(name) + " does not have one entry per burst");
    }
  }
  const std::vector<std::size_t> positions = shard_positions(share.table_bursts, share.shard);
  if (positions.size() != count) {
    throw std::invalid_argument(
        format_text("it holds %zu bursts instead of %zu", count, positions.size()));
  }
  std::vector<ScannedBurst> bursts(count);
  for (std::size_t b = 0; b < count; ++b) {
    ScannedBurst& burst = bursts[b];
    burst.position = positions[b];
    burst.window.number = labels[b].get<std::int64_t>();
    burst.window.t_start_s = json["t_start_s"][b].get<double>();
    burst.window.t_stop_s = json["t_stop_s"][b].get<double>();
    burst.counts.photons = json["window_photons"][b].get<std::int64_t>();
    burst.counts.donor = json["donor"][b].get<std::int64_t>();
    burst.counts.acceptor = json["acceptor"][b].get<std::int64_t>();
    burst.photons = json["photons"][b].get<std::int64_t>();
    burst.left_out = json["left_out"][b].get<std::string>();
    burst.collapsed = json["collapsed"][b].get<bool>();
    burst.boundary_runs = json["boundary_runs"][b].get<std::vector<int>>();
    if (burst.boundary_runs.size() != values) {
      throw std::invalid_argument("boundary_runs does not have one entry per model value");
    }
    burst.boundary_photons.assign(cells, 0);
    burst.residue_dominates.assign(cells, 0);
    for (const Json& pair : json["boundary_photons"][b]) {
      const std::size_t cell = pair.at(0).get<std::size_t>();
      if (cell >= cells) throw std::invalid_argument("a boundary cell beyond the scan's cells");
      burst.boundary_photons[cell] = pair.at(1).get<std::int32_t>();
    }
    for (const Json& cell : json["residue_dominates"][b]) {
      const std::size_t c = cell.get<std::size_t>();
      if (c >= cells) throw std::invalid_argument("a residue cell beyond the scan's cells");
      burst.residue_dominates[c] = 1;
    }
  }
  return bursts;
}

std::uint32_t checksum_from_json(const Json& json) {
  const std::string text = json.get<std::string>();
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.size() != 8 || error != std::errc() || end != text.data() + text.size()) {
    throw std::invalid_argument("data_crc32 is not 8 hexadecimal digits");
  }
  return value;
}

// The first line: the share's header, setup and bursts, without their log L.
ShareFile parse_description(std::string_view first, const std::string& name) {
  if (first.substr(0, kShareLead.size()) != kShareLead) {
    refuse(name, format_text("line 1: not a share of a joint scan: the first line must be "
                             "\"%.*s...\" (written by scan --shard).",
                             static_cast<int>(kShareLead.size()), kShareLead.data()));
  }
  const std::string_view description = first.substr(kShareLead.size());
  if (description.empty() || description.front() != '{') {
    refuse(name,
           "it was written by an earlier version of pelmora-bursts; scan its bursts again with "
           "this one (" +
               std::string(kVersion) + ").");
  }
  ShareFile file;
  Json json;
  try {
    json = Json::parse(description);
    file.header.format_version = json.at("format_version").get<int>();
    if (file.header.format_version != kShareFormatVersion &&
        file.header.format_version != kShareFormatWithoutChecksum) {
      refuse(name, format_text("its format %d is not this program's (%d); scan its bursts again "
                               "with this one.",
                               file.header.format_version, kShareFormatVersion));
    }
    file.header.provenance.version = json.at("pelmora_version").get<std::string>();
    file.header.provenance.command = json.at("command").get<std::string>();
    if (file.header.format_version == kShareFormatVersion) {
      file.header.data_crc32 = checksum_from_json(json.at("data_crc32"));
    }
  } catch (const Error&) {
    throw;
  } catch (const std::exception& error) {
    refuse(name, "line 1: the description of the share is damaged (" + json_reason(error) + ").");
  }
  if (file.header.provenance.version != kVersion) {
    refuse(name, "it was written by pelmora " + printable_text(file.header.provenance.version) +
                     ", whose numbers may differ from this release's (" + kVersion +
                     "); scan its bursts again with this one.");
  }
  MeasurementScan& scan = file.scan;
  if (!json.contains("setup")) {
    refuse(name, "line 1: the description of the share is damaged (it has no setup).");
  }
  scan.setup = setup_from_json(json["setup"], "Share " + name);
  try {
    const Json& share = json.at("share");
    TableShare table{Shard{share.at("index").get<long long>(), share.at("count").get<long long>()},
                     share.at("table_bursts").get<std::size_t>()};
    if (table.shard.count < 1 || table.shard.index < 1 || table.shard.index > table.shard.count) {
      throw std::invalid_argument("the share is not i/k with 1 <= i <= k");
    }
    scan.share = table;
    scan.simultaneous_photons = json.at("simultaneous_photons").get<int>();
    scan.bursts =
        bursts_from_json(json.at("bursts"), table, scan.values(), scan.values() * scan.runs());
  } catch (const std::exception& error) {
    refuse(name, "line 1: the description of the share is damaged (" + json_reason(error) + ").");
  }
  return file;
}

// The lines after the first: whole, matching the checksum, and then the
// log L of the described bursts.
void check_lines(ShareFile& file, std::string_view lines, const std::string& name) {
  if (!lines.empty() && lines.back() != '\n') {
    const auto line = 2 + std::count(lines.begin(), lines.end(), '\n');
    refuse(name, format_text("line %lld is cut short (it has no line end): the share was "
                             "truncated; copy or scan it again.",
                             static_cast<long long>(line)));
  }
  if (file.header.data_crc32) {
    const std::uint32_t crc = crc32_of(lines);
    if (crc != *file.header.data_crc32) {
      refuse(name, "its lines do not match the checksum of its first line (CRC-32 " +
                       crc32_text(crc) + " instead of " + crc32_text(*file.header.data_crc32) +
                       "): the file was damaged or changed after it was written; copy or scan "
                       "it again.");
    }
  } else {
    file.warnings.push_back("Share " + name +
                            " carries no checksum (format 2, written by an earlier build of "
                            "pelmora-bursts): damage to its lines cannot be detected.");
  }
  read_loglik_lines(lines, name, 2, file.scan);
}

}  // namespace

std::string share_text(const MeasurementScan& scan, const Provenance& provenance) {
  if (!scan.share) throw Error(ErrorKind::kInput, "Only a share of a scan is written as a share.");
  const std::string lines = loglik_text(scan);
  Json json;
  json["format_version"] = kShareFormatVersion;
  json["pelmora_version"] = provenance.version;
  json["command"] = provenance.command;
  json["data_crc32"] = crc32_text(crc32_of(lines));
  json["share"] = {{"index", scan.share->shard.index},
                   {"count", scan.share->shard.count},
                   {"table_bursts", scan.share->table_bursts}};
  json["setup"] = setup_json(scan.setup);
  json["simultaneous_photons"] = scan.simultaneous_photons;
  json["bursts"] = bursts_json(scan);
  return std::string(kShareLead) + json.dump() + "\n" + lines;
}

ShareFile parse_share(std::string_view text, const std::string& name) {
  const std::size_t end = text.find('\n');
  ShareFile file = parse_description(text.substr(0, end), name);
  check_lines(file, end == std::string_view::npos ? std::string_view() : text.substr(end + 1),
              name);
  return file;
}

ShareFile read_share_file(const std::string& path) {
  BoundedTextReader reader(path, "Share", {kMaxShareDescriptionBytes, 1});
  const std::optional<std::string_view> first = reader.next_line();
  ShareFile file = parse_description(first.value_or(std::string_view()), path);
  // Now that the share has said what it holds, its lines are bounded by it.
  reader.limit_line_bytes(kMaxShareLineBytes);
  reader.limit_lines(2 + file.scan.bursts.size() * file.scan.values() * file.scan.runs() +
                     kShareBlankLines);
  std::string lines;
  while (const std::optional<std::string_view> line = reader.next_line()) {
    lines += *line;
    if (reader.line_ended()) lines += '\n';
  }
  check_lines(file, lines, path);
  return file;
}

}  // namespace pelmora
