#include "bursts/burst_columns.h"

#include <array>
#include <limits>

namespace pelmora {

namespace {

constexpr std::array<BurstColumnInfo, 15> kColumns = {{
    {BurstColumn::kBurst, column::kBurst, ColumnFormat::kWhole, false},
    {BurstColumn::kStart, column::kStart, ColumnFormat::kSeconds, false},
    {BurstColumn::kStop, column::kStop, ColumnFormat::kSeconds, false},
    {BurstColumn::kPhotonsWindow, column::kPhotonsWindow, ColumnFormat::kWhole, false},
    {BurstColumn::kPhotonsAnalysed, column::kPhotonsAnalysed, ColumnFormat::kWhole, false},
    {BurstColumn::kDD, column::kDD, ColumnFormat::kWhole, false},
    {BurstColumn::kDA, column::kDA, ColumnFormat::kWhole, false},
    {BurstColumn::kAA, column::kAA, ColumnFormat::kWhole, true},
    {BurstColumn::kDDCorrected, column::kDDCorrected, ColumnFormat::kCount, false},
    {BurstColumn::kDACorrected, column::kDACorrected, ColumnFormat::kCount, false},
    {BurstColumn::kAACorrected, column::kAACorrected, ColumnFormat::kCount, true},
    {BurstColumn::kRawEfficiency, column::kRawEfficiency, ColumnFormat::kRatio, false},
    {BurstColumn::kRawStoichiometry, column::kRawStoichiometry, ColumnFormat::kRatio, true},
    {BurstColumn::kEfficiency, column::kEfficiency, ColumnFormat::kRatio, false},
    {BurstColumn::kStoichiometry, column::kStoichiometry, ColumnFormat::kRatio, true},
}};

}  // namespace

std::span<const BurstColumnInfo> burst_columns() {
  return kColumns;
}

const BurstColumnInfo& column_info(BurstColumn column) {
  return kColumns[static_cast<std::size_t>(column)];
}

std::optional<BurstColumn> column_named(std::string_view name) {
  for (const BurstColumnInfo& info : kColumns) {
    if (info.name == name) return info.column;
  }
  return std::nullopt;
}

double column_value(const Burst& burst, BurstColumn column) {
  const BurstStreams& s = burst.streams;
  switch (column) {
    case BurstColumn::kBurst:
      return static_cast<double>(burst.window.number);
    case BurstColumn::kStart:
      return burst.window.t_start_s;
    case BurstColumn::kStop:
      return burst.window.t_stop_s;
    case BurstColumn::kPhotonsWindow:
      return static_cast<double>(burst.counts.photons);
    case BurstColumn::kPhotonsAnalysed:
      return static_cast<double>(burst.counts.analysed());
    case BurstColumn::kDD:
      return static_cast<double>(burst.counts.donor);
    case BurstColumn::kDA:
      return static_cast<double>(burst.counts.acceptor);
    case BurstColumn::kAA:
      return burst.counts.acceptor_excited ? static_cast<double>(*burst.counts.acceptor_excited)
                                           : std::numeric_limits<double>::quiet_NaN();
    case BurstColumn::kDDCorrected:
      return s.n_dd_corr;
    case BurstColumn::kDACorrected:
      return s.n_da_corr;
    case BurstColumn::kAACorrected:
      return s.n_aa_corr;
    case BurstColumn::kRawEfficiency:
      return s.E_raw;
    case BurstColumn::kRawStoichiometry:
      return s.S_raw;
    case BurstColumn::kEfficiency:
      return s.E;
    case BurstColumn::kStoichiometry:
      return s.S;
  }
  return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace pelmora
