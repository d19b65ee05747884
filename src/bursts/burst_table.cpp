#include "bursts/burst_table.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <unordered_map>

#include "base/error.h"
#include "bursts/burst_columns.h"
#include "bursts/table_seconds.h"
#include "output/result_file.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

constexpr std::string_view kRequiredColumns[] = {"burst", "t_start_s", "t_stop_s"};
constexpr std::size_t kQuoteLimit = 32;

// A field as the messages show it: control and non-ASCII bytes as \xNN, cut
// after kQuoteLimit bytes.
std::string printable(std::string_view text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size() && i < kQuoteLimit; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7f) {
      shown.push_back(static_cast<char>(byte));
    } else {
      shown += format_text("\\x%02X", static_cast<unsigned>(byte));
    }
  }
  if (text.size() > kQuoteLimit) shown += "...";
  return shown;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Fields split at every comma (a table of numbers has no quoted commas); a
// field in double quotes, as R's write.csv puts its column names, loses them.
std::string_view unquoted(std::string_view field) {
  if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
    field.remove_prefix(1);
    field.remove_suffix(1);
  }
  return field;
}

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  while (true) {
    const std::size_t comma = line.find(',');
    fields.push_back(unquoted(trimmed(line.substr(0, comma))));
    if (comma == std::string_view::npos) return fields;
    line.remove_prefix(comma + 1);
  }
}

// A leading '+' is accepted, as other CSV writers may put one; from_chars
// would not take it.
std::string_view without_plus(std::string_view field) {
  if (field.size() > 1 && field.front() == '+' && field[1] != '-' && field[1] != '+') {
    field.remove_prefix(1);
  }
  return field;
}

class TableReader {
 public:
  explicit TableReader(std::string_view name) : name_(name) {}

  [[noreturn]] void refuse(std::size_t line, const std::string& reason) const {
    throw Error(ErrorKind::kInput,
                format_text("Burst table %.*s, line %zu: %s", static_cast<int>(name_.size()),
                            name_.data(), line, reason.c_str()));
  }

  std::int64_t whole_number(std::size_t line, std::string_view column,
                            std::string_view field) const {
    const std::string_view digits = without_plus(field);
    std::int64_t value = 0;
    const char* const end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || ec != std::errc() || ptr != end) {
      refuse(line,
             format_text("%.*s is not a whole number ('%s').", static_cast<int>(column.size()),
                         column.data(), printable(field).c_str()));
    }
    return value;
  }

  double seconds(std::size_t line, std::string_view column, std::string_view field) const {
    const std::string_view number = without_plus(field);
    double value = 0;
    const char* const end = number.data() + number.size();
    const auto [ptr, ec] = std::from_chars(number.data(), end, value);
    const auto column_text = std::string(column);
    if (number.empty() || ptr != end ||
        (ec != std::errc() && ec != std::errc::result_out_of_range)) {
      refuse(line, column_text + " is not a number ('" + printable(field) + "').");
    }
    if (ec == std::errc::result_out_of_range || !std::isfinite(value)) {
      // Out of range covers both overflow and underflow; only the first is
      // not finite, but a time of 1e-400 s is no sensible table entry either.
      refuse(line, column_text + " is not a finite number ('" + printable(field) + "').");
    }
    return value;
  }

 private:
  std::string_view name_;
};

// A count or ratio as the table writes it: empty where it is not defined.
std::string column_text(const BurstColumnInfo& info, double value) {
  if (!std::isfinite(value)) return {};
  switch (info.format) {
    case ColumnFormat::kWhole:
      return format_text("%lld", static_cast<long long>(value));
    case ColumnFormat::kCount:
      return format_text("%.3f", value);
    case ColumnFormat::kRatio:
    case ColumnFormat::kSeconds:
      break;
  }
  return format_text("%.6f", value);
}

}  // namespace

std::string burst_table_text(std::span<const Burst> bursts) {
  std::string text(kBurstTableHeader);
  text.push_back('\n');
  for (const Burst& burst : bursts) {
    const BurstWindow& w = burst.window;
    text += format_text("%lld,%s,%s", static_cast<long long>(w.number),
                        format_table_seconds(table_seconds_down(w.t_start_s)).c_str(),
                        format_table_seconds(table_seconds_up(w.t_stop_s)).c_str());
    for (const BurstColumnInfo& info : burst_columns().subspan(3)) {
      text.push_back(',');
      text += column_text(info, column_value(burst, info.column));
    }
    text.push_back('\n');
  }
  return text;
}

void write_burst_table(const std::string& path, std::span<const Burst> bursts) {
  const std::string text = burst_table_text(bursts);
  ResultFile file(path);
  file.text(text);
  file.close();
}

std::vector<BurstWindow> parse_burst_table(std::string_view text, std::string_view name) {
  const TableReader reader(name);
  // A byte-order mark, as spreadsheet programs put at the start of UTF-8.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  }

  std::vector<BurstWindow> bursts;
  std::unordered_map<std::int64_t, std::size_t> line_of_number;
  std::size_t columns = 0;  // 0: header not yet read
  std::size_t line_number = 0;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (trimmed(line).empty()) continue;
    const std::vector<std::string_view> fields = split_fields(line);

    if (columns == 0) {
      bool header = fields.size() >= std::size(kRequiredColumns);
      for (std::size_t i = 0; header && i < std::size(kRequiredColumns); ++i) {
        header = fields[i] == kRequiredColumns[i];
      }
      if (!header) {
        reader.refuse(line_number, "the header must begin with burst,t_start_s,t_stop_s (found '" +
                                       printable(line) + "').");
      }
      columns = fields.size();
      continue;
    }

    if (fields.size() != columns) {
      reader.refuse(line_number,
                    format_text("%zu columns where the header has %zu.", fields.size(), columns));
    }
    BurstWindow burst;
    burst.number = reader.whole_number(line_number, "burst", fields[0]);
    burst.t_start_s = reader.seconds(line_number, "t_start_s", fields[1]);
    burst.t_stop_s = reader.seconds(line_number, "t_stop_s", fields[2]);
    if (burst.t_stop_s < burst.t_start_s) {
      reader.refuse(line_number, "t_stop_s " + printable(fields[2]) + " is before t_start_s " +
                                     printable(fields[1]) + ".");
    }
    if (!bursts.empty()) {
      const BurstWindow& previous = bursts.back();
      if (burst.t_start_s < previous.t_start_s) {
        reader.refuse(line_number,
                      "the burst starts before the previous one; bursts must be in time order.");
      }
      // Windows are closed intervals: a shared end point could hand one
      // photon to two bursts.
      if (burst.t_start_s <= previous.t_stop_s) {
        reader.refuse(line_number, "the burst overlaps the previous one (t_start_s " +
                                       printable(fields[1]) +
                                       " is not after the previous t_stop_s).");
      }
    }
    const auto [seen, inserted] = line_of_number.emplace(burst.number, line_number);
    if (!inserted) {
      reader.refuse(line_number, format_text("burst %lld appears twice (also on line %zu).",
                                             static_cast<long long>(burst.number), seen->second));
    }
    bursts.push_back(burst);
  }

  if (columns == 0) {
    reader.refuse(line_number + 1, "the header line burst,t_start_s,t_stop_s is missing.");
  }
  if (bursts.empty()) reader.refuse(line_number + 1, "the table has no bursts.");
  return bursts;
}

std::vector<BurstWindow> read_burst_table(const std::string& path) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  const auto unreadable = [&path]() {
    return Error(ErrorKind::kIo, "Could not read from file " + path);
  };
  if (!file) throw unreadable();
  std::string text;
  char block[1 << 16];
  while (true) {
    const std::size_t got = std::fread(block, 1, sizeof block, file.get());
    text.append(block, got);
    if (got < sizeof block) break;
  }
  if (std::ferror(file.get()) != 0) throw unreadable();
  return parse_burst_table(text, path);
}

}  // namespace pelmora
