#include "bursts/burst_selection.h"

#include <charconv>
#include <cmath>

#include "base/error.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

[[noreturn]] void refuse(const std::string& text, const std::string& reason) {
  throw Error(ErrorKind::kInput, "Selection " + text + ": " + reason);
}

std::string column_list() {
  std::string names;
  for (const BurstColumnInfo& info : burst_columns()) {
    names += (names.empty() ? "" : ", ") + std::string(info.name);
  }
  return names;
}

std::optional<double> bound(const std::string& text, std::string_view field) {
  if (field.empty()) return std::nullopt;
  double value = 0;
  const char* const end = field.data() + field.size();
  const auto [stop, error] = std::from_chars(field.data(), end, value);
  if (error != std::errc() || stop != end || !std::isfinite(value)) {
    refuse(text, "the bound '" + std::string(field) + "' is not a finite number.");
  }
  return value;
}

}  // namespace

BurstRange parse_burst_range(const std::string& text) {
  const std::size_t equals = text.find('=');
  const std::size_t colon = text.find(':', equals == std::string::npos ? 0 : equals);
  if (equals == std::string::npos || colon == std::string::npos) {
    refuse(text,
           "give COLUMN=LO:HI, either bound may be left empty (S=0.2:0.8, "
           "photons_analysed=50:).");
  }
  const std::string_view whole(text);
  const std::string_view name = whole.substr(0, equals);
  BurstRange range;
  range.text = text;
  const std::optional<BurstColumn> column = column_named(name);
  if (!column) {
    refuse(text, "no column " + std::string(name) + "; the columns are " + column_list() + ".");
  }
  range.column = *column;
  range.low = bound(text, whole.substr(equals + 1, colon - equals - 1));
  range.high = bound(text, whole.substr(colon + 1));
  if (range.low && range.high && *range.low > *range.high) {
    refuse(text,
           format_text("the lower bound %g is above the upper bound %g.", *range.low, *range.high));
  }
  return range;
}

void check_ranges_for(std::span<const BurstRange> ranges,
                      const MeasurementDescription& measurement) {
  if (has_acceptor_excitation(measurement)) return;
  for (const BurstRange& range : ranges) {
    const BurstColumnInfo& info = column_info(range.column);
    if (!info.needs_acceptor_excitation) continue;
    refuse(range.text,
           std::string(info.name) +
               " needs acceptor-excitation photons (smFRET-usALEX or smFRET-nsALEX); " +
               (measurement.path.empty() ? std::string("the measurement") : measurement.path) +
               " is of type " +
               (measurement.measurement_type.empty() ? std::string("smFRET")
                                                     : measurement.measurement_type) +
               ".");
  }
}

std::vector<std::size_t> select_bursts(std::span<const Burst> bursts,
                                       std::span<const BurstRange> ranges) {
  std::vector<std::size_t> selected;
  for (std::size_t b = 0; b < bursts.size(); ++b) {
    bool kept = true;
    for (const BurstRange& range : ranges) {
      kept = kept && range.holds(column_value(bursts[b], range.column));
    }
    if (kept) selected.push_back(b);
  }
  return selected;
}

std::string StoichiometryWarning::text(std::string_view how_to_select) const {
  return format_text(
      "%zu of %zu bursts look donor-only (S > %g) and %zu acceptor-only (S < %g): they are "
      "analysed as FRET molecules at the ends of the distance range. Select the FRET "
      "population with %.*s.",
      donor_only, bursts, kDonorOnlyStoichiometry, acceptor_only, kAcceptorOnlyStoichiometry,
      static_cast<int>(how_to_select.size()), how_to_select.data());
}

std::optional<StoichiometryWarning> stoichiometry_warning(
    std::span<const Burst> bursts, std::span<const BurstRange> ranges,
    const MeasurementDescription& measurement) {
  if (!has_acceptor_excitation(measurement)) return std::nullopt;
  for (const BurstRange& range : ranges) {
    if (range.column == BurstColumn::kStoichiometry ||
        range.column == BurstColumn::kRawStoichiometry) {
      return std::nullopt;
    }
  }
  StoichiometryWarning warning;
  warning.bursts = bursts.size();
  for (const Burst& burst : bursts) {
    if (burst.streams.S > kDonorOnlyStoichiometry) ++warning.donor_only;
    if (burst.streams.S < kAcceptorOnlyStoichiometry) ++warning.acceptor_only;
  }
  if (warning.donor_only + warning.acceptor_only == 0) return std::nullopt;
  return warning;
}

}  // namespace pelmora
