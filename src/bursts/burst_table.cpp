#include "bursts/burst_table.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <utility>

#include "base/error.h"
#include "base/printable_text.h"
#include "bursts/burst_columns.h"
#include "bursts/table_seconds.h"
#include "input/bounded_text.h"
#include "output/result_file.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

constexpr std::string_view kRequiredColumns[] = {"burst", "t_start_s", "t_stop_s"};
// Lines of at most 1 MiB, and at most 10^7 of them: a burst for every ten
// photons of a measurement of 10^8.
constexpr TextBounds kBurstTableBounds{std::size_t{1} << 20, 10'000'000};

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
                         column.data(), printable_text(field).c_str()));
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
      refuse(line, column_text + " is not a number ('" + printable_text(field) + "').");
    }
    if (ec == std::errc::result_out_of_range || !std::isfinite(value)) {
      // Out of range covers both overflow and underflow; only the first is
      // not finite, but a time of 1e-400 s is no sensible table entry either.
      refuse(line, column_text + " is not a finite number ('" + printable_text(field) + "').");
    }
    return value;
  }

  // One line of the table, without its "\n"; `number` counts from 1.
  void add_line(std::string_view line, std::size_t number) {
    last_line_ = number;
    // A byte-order mark, as spreadsheet programs put at the start of UTF-8.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (number == 1 && line.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
      line.remove_prefix(kByteOrderMark.size());
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (trimmed(line).empty()) return;
    const std::vector<std::string_view> fields = split_fields(line);

    if (columns_ == 0) {
      bool header = fields.size() >= std::size(kRequiredColumns);
      for (std::size_t i = 0; header && i < std::size(kRequiredColumns); ++i) {
        header = fields[i] == kRequiredColumns[i];
      }
      if (!header) {
        refuse(number, "the header must begin with burst,t_start_s,t_stop_s (found '" +
                           printable_text(line) + "').");
      }
      columns_ = fields.size();
      return;
    }

    if (fields.size() != columns_) {
      refuse(number, format_text("%zu columns where the header has %zu.", fields.size(), columns_));
    }
    BurstWindow burst;
    burst.number = whole_number(number, "burst", fields[0]);
    burst.t_start_s = seconds(number, "t_start_s", fields[1]);
    burst.t_stop_s = seconds(number, "t_stop_s", fields[2]);
    if (burst.t_stop_s < burst.t_start_s) {
      refuse(number, "t_stop_s " + printable_text(fields[2]) + " is before t_start_s " +
                         printable_text(fields[1]) + ".");
    }
    if (!bursts_.empty()) {
      const BurstWindow& previous = bursts_.back();
      if (burst.t_start_s < previous.t_start_s) {
        refuse(number, "the burst starts before the previous one; bursts must be in time order.");
      }
      // Windows are closed intervals: a shared end point could hand one
      // photon to two bursts.
      if (burst.t_start_s <= previous.t_stop_s) {
        refuse(number, "the burst overlaps the previous one (t_start_s " +
                           printable_text(fields[1]) + " is not after the previous t_stop_s).");
      }
    }
    const auto [seen, inserted] = line_of_number_.emplace(burst.number, number);
    if (!inserted) {
      refuse(number, format_text("burst %lld appears twice (also on line %zu).",
                                 static_cast<long long>(burst.number), seen->second));
    }
    bursts_.push_back(burst);
  }

  std::vector<BurstWindow> finish() {
    if (columns_ == 0) {
      refuse(last_line_ + 1, "the header line burst,t_start_s,t_stop_s is missing.");
    }
    if (bursts_.empty()) refuse(last_line_ + 1, "the table has no bursts.");
    return std::move(bursts_);
  }

 private:
  std::string_view name_;
  std::vector<BurstWindow> bursts_;
  std::unordered_map<std::int64_t, std::size_t> line_of_number_;
  std::size_t columns_ = 0;  // 0: header not yet read
  std::size_t last_line_ = 0;
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

void write_burst_table(const std::string& path, std::span<const Burst> bursts, StopRequest stop) {
  const std::string text = burst_table_text(bursts);
  ResultFile file(path, std::move(stop));
  file.text(text);
  file.close();
}

std::vector<BurstWindow> parse_burst_table(std::string_view text, std::string_view name) {
  TableReader reader(name);
  std::size_t line_number = 0;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    reader.add_line(text.substr(0, newline), ++line_number);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
  }
  return reader.finish();
}

std::vector<BurstWindow> read_burst_table(const std::string& path) {
  BoundedTextReader text(path, "Burst table", kBurstTableBounds);
  return read_burst_table(text);
}

std::vector<BurstWindow> read_burst_table(BoundedTextReader& text) {
  TableReader reader(text.name());
  while (const std::optional<std::string_view> line = text.next_line()) {
    reader.add_line(*line, text.line_number());
  }
  return reader.finish();
}

}  // namespace pelmora
