// One name, one meaning: the per-burst columns, as bursts.csv (the burst
// table), loglik.csv, results.h5 and the Python tables name them.
//
//   burst             the burst's number, the table's label
//   t_start_s         its window in seconds of the measurement (timestamp *
//   t_stop_s            unit), closed at both ends
//   photons_window    every photon of the window: both channels, both
//                       excitations (bursts.csv called it `photons`)
//   photons_analysed  the photons the likelihood analyses: donor excitation,
//                       both channels, n_dd + n_da (loglik.csv called it
//                       `photons`)
//   n_dd              donor excitation, donor channel (formerly `donor`)
//   n_da              donor excitation, acceptor channel (formerly `acceptor`)
//   n_aa              acceptor excitation, acceptor channel (µs-ALEX and
//                       ns-ALEX; empty otherwise)
//   n_dd_corr         each less the background expected over the window
//   n_da_corr           (the stream's rate times the window's duration)
//   n_aa_corr
//   E_raw             n_da / (n_dd + n_da) of the corrected counts
//   S_raw             (n_dd + n_da) / (n_dd + n_da + n_aa) of the corrected counts
//   E                 F_A / (F_A + gamma n_dd), F_A = n_da - alpha n_dd - delta n_aa
//   S                 (F_A + gamma n_dd) / (F_A + gamma n_dd + n_aa / beta)
//
// `raw_E` (n_da / (n_dd + n_da) before the background) is retired: E_raw is
// the field's raw efficiency, after the background.  A value that is not
// defined (n_aa without acceptor excitation, a ratio whose denominator is
// not positive) is an empty field in CSV and NaN in HDF5 and Python.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "bursts/burst.h"

namespace pelmora {

namespace column {
inline constexpr std::string_view kBurst = "burst";
inline constexpr std::string_view kStart = "t_start_s";
inline constexpr std::string_view kStop = "t_stop_s";
inline constexpr std::string_view kPhotonsWindow = "photons_window";
inline constexpr std::string_view kPhotonsAnalysed = "photons_analysed";
inline constexpr std::string_view kDD = "n_dd";
inline constexpr std::string_view kDA = "n_da";
inline constexpr std::string_view kAA = "n_aa";
inline constexpr std::string_view kDDCorrected = "n_dd_corr";
inline constexpr std::string_view kDACorrected = "n_da_corr";
inline constexpr std::string_view kAACorrected = "n_aa_corr";
inline constexpr std::string_view kRawEfficiency = "E_raw";
inline constexpr std::string_view kRawStoichiometry = "S_raw";
inline constexpr std::string_view kEfficiency = "E";
inline constexpr std::string_view kStoichiometry = "S";
}  // namespace column

enum class BurstColumn {
  kBurst,
  kStart,
  kStop,
  kPhotonsWindow,
  kPhotonsAnalysed,
  kDD,
  kDA,
  kAA,
  kDDCorrected,
  kDACorrected,
  kAACorrected,
  kRawEfficiency,
  kRawStoichiometry,
  kEfficiency,
  kStoichiometry,
};

// How a column's values are written: whole numbers, expected counts (three
// decimals), ratios (six decimals), or table seconds (burst_table.h).
enum class ColumnFormat { kWhole, kCount, kRatio, kSeconds };

struct BurstColumnInfo {
  BurstColumn column;
  std::string_view name;
  ColumnFormat format;
  bool needs_acceptor_excitation;  // defined only with acceptor excitation
};

// Every column, in the burst table's order.
std::span<const BurstColumnInfo> burst_columns();

const BurstColumnInfo& column_info(BurstColumn column);

// The column of this name; none for any other name.
std::optional<BurstColumn> column_named(std::string_view name);

// A burst's value in a column (NaN where it is not defined).
double column_value(const Burst& burst, BurstColumn column);

}  // namespace pelmora
