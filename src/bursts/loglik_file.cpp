#include "bursts/loglik_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "base/error.h"
#include "base/printable_text.h"
#include "bursts/joint_likelihood.h"
#include "bursts/table_seconds.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

// "%.10g": the values to read, not the values the scan computed with (those
// are in the share's description, and results.h5 holds them exactly).
std::string short_number(double value) {
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%.10g", value);
  return std::string(text, static_cast<std::size_t>(length));
}

class LineReader {
 public:
  LineReader(std::string_view text, std::string_view name, int first_line)
      : text_(text), name_(name), line_(first_line - 1) {}

  bool at_end() const { return position_ >= text_.size(); }

  std::string_view next() {
    ++line_;
    const std::size_t end = text_.find('\n', position_);
    std::string_view line = text_.substr(
        position_, end == std::string_view::npos ? text_.size() - position_ : end - position_);
    position_ = end == std::string_view::npos ? text_.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  }

  // `reason` is made with format_text at the call, whose format string
  // the compiler checks there.
  [[noreturn]] void fail(const std::string& reason) const {
    throw Error(ErrorKind::kInput,
                format_text("Share %.*s, line %d: %s.", static_cast<int>(name_.size()),
                            name_.data(), line_, reason.c_str()));
  }

 private:
  std::string_view text_;
  std::string_view name_;
  std::size_t position_ = 0;
  int line_;
};

std::vector<std::string_view> split(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(line.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

}  // namespace

std::string loglik_header(const MeasurementScan& scan) {
  const ModelScan& model = scan.setup.request.model;
  if (!model.scanned()) return std::string(kLoglikHeader);
  return "burst,t_start_s,t_stop_s,photons_analysed," + model.parameter + ",D_m2_per_s,log_L";
}

std::string loglik_text(const MeasurementScan& scan) {
  const std::vector<double>& coefficients = scan.setup.request.coefficients;
  const ModelScan& model = scan.setup.request.model;
  const std::size_t runs = coefficients.size();
  std::string text = loglik_header(scan) + "\n";
  text.reserve(64 + scan.bursts.size() * scan.values() * runs * 72);
  std::vector<std::string> values;
  for (const double value : model.parameter_values) values.push_back(short_number(value) + ",");
  char line[160];
  for (const ScannedBurst& burst : scan.bursts) {
    const std::string start = format_table_seconds(burst.window.t_start_s);
    const std::string stop = format_table_seconds(burst.window.t_stop_s);
    const int lead = std::snprintf(line, sizeof line, "%lld,%s,%s,%lld,",
                                   static_cast<long long>(burst.window.number), start.c_str(),
                                   stop.c_str(), static_cast<long long>(burst.photons));
    const std::string burst_lead(line, static_cast<std::size_t>(lead));
    for (std::size_t p = 0; p < scan.values(); ++p) {
      for (std::size_t i = 0; i < runs; ++i) {
        text += burst_lead;
        if (model.scanned()) text += values[p];
        int length = std::snprintf(line, sizeof line, "%.10g,", coefficients[i]);
        text.append(line, static_cast<std::size_t>(length));
        if (!burst.log_likelihood.empty()) {
          length = std::snprintf(line, sizeof line, "%.17g", burst.log_likelihood[p * runs + i]);
          text.append(line, static_cast<std::size_t>(length));
        }
        text += '\n';
      }
    }
  }
  return text;
}

void read_loglik_lines(std::string_view text, std::string_view name, int first_line,
                       MeasurementScan& scan) {
  LineReader reader(text, name, first_line);
  const std::string header = loglik_header(scan);
  if (reader.at_end() || reader.next() != header) {
    reader.fail(format_text("the header is not \"%s\"", header.c_str()));
  }
  const ModelScan& model = scan.setup.request.model;
  const std::vector<double>& coefficients = scan.setup.request.coefficients;
  const std::size_t runs = coefficients.size();
  const std::size_t cells = runs * scan.values();
  const std::size_t fields_per_line = model.scanned() ? 7 : 6;
  std::vector<std::string> d_texts;
  for (const double d : coefficients) d_texts.push_back(short_number(d));
  std::vector<std::string> value_texts;
  for (const double value : model.parameter_values) value_texts.push_back(short_number(value));
  for (ScannedBurst& burst : scan.bursts) {
    const std::string lead = format_text(
        "%lld,%s,%s,%lld", static_cast<long long>(burst.window.number),
        format_table_seconds(burst.window.t_start_s).c_str(),
        format_table_seconds(burst.window.t_stop_s).c_str(), static_cast<long long>(burst.photons));
    std::vector<double> row;
    for (std::size_t c = 0; c < cells; ++c) {
      std::string_view line;
      do {
        if (reader.at_end())
          reader.fail(format_text("the lines of burst %lld end early",
                                  static_cast<long long>(burst.window.number)));
        line = reader.next();
      } while (line.empty());
      const std::vector<std::string_view> fields = split(line);
      if (fields.size() != fields_per_line) {
        reader.fail(format_text("%zu fields instead of %zu", fields.size(), fields_per_line));
      }
      const std::size_t p = c / runs;
      const std::size_t i = c % runs;
      const std::string expected =
          lead + "," + (model.scanned() ? value_texts[p] + "," : std::string()) + d_texts[i];
      const std::string_view got = line.substr(0, line.size() - fields.back().size() - 1);
      if (got != expected) {
        reader.fail(
            format_text("expected \"%s,...\" (burst %lld as the share's first line describes it)",
                        expected.c_str(), static_cast<long long>(burst.window.number)));
      }
      const std::string_view field = fields.back();
      if (field.empty()) {
        if (!row.empty()) {
          reader.fail(format_text("log_L is empty at some cells of burst %lld only",
                                  static_cast<long long>(burst.window.number)));
        }
        continue;
      }
      double value = 0;
      const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
      // NaN ("nan", "-nan"): the run lost its distribution to rounding
      // residue; the burst is carried as left out below.
      if (error != std::errc() || end != field.data() + field.size() || std::isinf(value)) {
        reader.fail(
            format_text("log_L '%s' is not a finite number", printable_text(field).c_str()));
      }
      if (row.size() != c) {
        reader.fail(format_text("log_L is empty at some cells of burst %lld only",
                                static_cast<long long>(burst.window.number)));
      }
      row.push_back(value);
    }
    if (std::any_of(row.begin(), row.end(), [](double v) { return std::isnan(v); }) &&
        burst.left_out.empty()) {
      burst.left_out = left_out_reason(LeftOut::kCollapsed);
      burst.collapsed = true;
      burst.log_likelihood.clear();
      continue;
    }
    if (row.empty() == burst.left_out.empty()) {
      reader.fail(format_text("burst %lld %s", static_cast<long long>(burst.window.number),
                              row.empty() ? "has no log L, yet the share says it was analysed"
                                          : "has log L, yet the share says it was left out"));
    }
    burst.log_likelihood = std::move(row);
  }
  while (!reader.at_end()) {
    if (!reader.next().empty()) reader.fail(format_text("a line after the share's last burst"));
  }
}

}  // namespace pelmora
