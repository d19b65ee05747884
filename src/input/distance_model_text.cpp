#include "input/distance_model_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>

#include "base/error.h"

namespace pelmora {

namespace {

[[noreturn]] void refuse(const std::string& text, const std::string& why) {
  throw Error(ErrorKind::kInput, "Model " + text + ": " + why);
}

bool read_number(std::string_view word, double& value) {
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data(), end, value);
  return !word.empty() && error == std::errc() && stop == end && std::isfinite(value);
}

double number(std::string_view word, const std::string& text) {
  double value = 0;
  if (!read_number(word, value)) refuse(text, "'" + std::string(word) + "' is not a number.");
  return value;
}

std::vector<std::string_view> fields(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t from = 0;
  while (true) {
    const std::size_t colon = text.find(':', from);
    parts.push_back(text.substr(from, colon == std::string_view::npos ? colon : colon - from));
    if (colon == std::string_view::npos) return parts;
    from = colon + 1;
  }
}

TabulatedDensity read_table(const std::string& path) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) throw Error(ErrorKind::kIo, "Could not open the potential file " + path);
  BoundedTextReader text(file.get(), path, "Potential file", kPotentialTableBounds);
  return read_potential_table(text);
}

DistanceModel chain_model(const std::string& text, double rms) {
  if (!(rms > 0)) refuse(text, "the rms distance must be > 0.");
  // Only a scan from FROM to TO near the largest double gets here.
  if (!std::isfinite(rms)) refuse(text, "the rms values are beyond the range of numbers.");
  return {GaussianChain{rms}, text};
}

}  // namespace

TabulatedDensity read_potential_table(BoundedTextReader& text) {
  const std::string& path = text.name();
  TabulatedDensity table;
  while (const std::optional<std::string_view> read = text.next_line()) {
    const std::string line(*read);
    const std::size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    const auto fail = [&](const std::string& why) { text.refuse(why); };
    if (table.r.size() == kMaxPotentialTablePoints) {
      fail("more than " + std::to_string(kMaxPotentialTablePoints) + " points.");
    }
    std::istringstream words(line);
    std::string a, b, extra;
    words >> a >> b;
    double r = 0, p = 0;
    if (b.empty() || (words >> extra) || !read_number(a, r) || !read_number(b, p)) {
      fail("two numbers expected (distance in nm, density).");
    }
    if (r < 0) fail("the distance must be >= 0.");
    if (!table.r.empty() && !(r > table.r.back())) fail("the distances must increase.");
    if (p < 0) fail("the density must be >= 0.");
    table.r.push_back(r);
    table.density.push_back(p);
  }
  if (table.r.size() < 3) {
    throw Error(ErrorKind::kInput, "Potential file " + path + ": at least 3 points are needed.");
  }
  if (*std::max_element(table.density.begin(), table.density.end()) <= 0) {
    throw Error(ErrorKind::kInput, "Potential file " + path + ": the densities are all zero.");
  }
  return table;
}

std::optional<std::string> model_file(const std::string& text) {
  // The file's name is everything after "pmf:", spaces and colons included.
  if (text.size() > 4 && text.starts_with("pmf:")) return text.substr(4);
  return std::nullopt;
}

DistanceModel parse_distance_model(const std::string& text) {
  if (text == "free") return {FreeDiffusion{}, text};
  const std::vector<std::string_view> parts = fields(text);
  if (parts[0] == "chain" && parts.size() == 2) return chain_model(text, number(parts[1], text));
  if (parts[0] == "box" && parts.size() == 3) {
    const FlatBox box{number(parts[1], text), number(parts[2], text)};
    if (!(box.lower >= 0 && box.lower < box.upper)) refuse(text, "the walls need 0 <= A < B.");
    return {box, text};
  }
  if (const std::optional<std::string> file = model_file(text)) return {read_table(*file), text};
  throw Error(ErrorKind::kInput, "Unknown model " + text +
                                     " (free, chain:RMS, chain:FROM:TO:COUNT, box:A:B or "
                                     "pmf:FILE).");
}

ModelScan parse_model_scan(const std::string& text) {
  ModelScan scan;
  scan.text = text;
  const std::vector<std::string_view> parts = fields(text);
  if (parts[0] != "chain" || parts.size() != 4) {
    scan.models = {parse_distance_model(text)};
    return scan;
  }
  const double from = number(parts[1], text);
  const double to = number(parts[2], text);
  double count = number(parts[3], text);
  if (!(count >= 2 && count <= 1000 && count == std::floor(count))) {
    refuse(text, "the count of rms values must be a whole number from 2 to 1000.");
  }
  if (!(from > 0 && from < to)) refuse(text, "the rms range needs 0 < FROM < TO.");
  scan.parameter = "rms_nm";
  scan.models.clear();
  const int values = static_cast<int>(count);
  for (int i = 0; i < values; ++i) {
    const double rms = i + 1 == values ? to : from + (to - from) * i / (values - 1);
    scan.parameter_values.push_back(rms);
    scan.models.push_back(chain_model(text, rms));
  }
  return scan;
}

}  // namespace pelmora
