// Selecting bursts by their columns (bursts/burst_columns.h): COLUMN=LO:HI
// keeps the bursts whose value lies in [LO, HI]; either bound may be left
// out (S=0.2:0.8, photons_analysed=50:, E_raw=:0.5).  Several ranges keep
// the bursts that lie in all of them; a value that is not defined lies in
// none.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bursts/burst.h"
#include "bursts/burst_columns.h"
#include "input/measurement.h"

namespace pelmora {

struct BurstRange {
  BurstColumn column = BurstColumn::kBurst;
  std::optional<double> low;   // inclusive
  std::optional<double> high;  // inclusive
  std::string text;            // as given, for messages and settings lines

  bool holds(double value) const {
    return value == value && (!low || value >= *low) && (!high || value <= *high);
  }
};

// "COLUMN=LO:HI".  Throws kInput naming the text for an unknown column, a
// bound that is not a finite number, and LO > HI.
BurstRange parse_burst_range(const std::string& text);

// Refuses (kInput) a range on a column that needs acceptor excitation (n_aa,
// n_aa_corr, S_raw, S) when the measurement has none, naming its type.
void check_ranges_for(std::span<const BurstRange> ranges,
                      const MeasurementDescription& measurement);

// The positions of the bursts that lie in every range, in table order.
std::vector<std::size_t> select_bursts(std::span<const Burst> bursts,
                                       std::span<const BurstRange> ranges);

// The FRET population of an ALEX measurement lies in this range of S; above
// it bursts look donor-only (no acceptor, or a bleached one), below it
// acceptor-only.
inline constexpr double kDonorOnlyStoichiometry = 0.8;
inline constexpr double kAcceptorOnlyStoichiometry = 0.2;

// Bursts that look single-colour, for an analysis of an ALEX measurement
// that selects nothing by S.
struct StoichiometryWarning {
  std::size_t bursts = 0;         // all bursts looked at
  std::size_t donor_only = 0;     // S > kDonorOnlyStoichiometry
  std::size_t acceptor_only = 0;  // S < kAcceptorOnlyStoichiometry

  // "380 of 1124 bursts look donor-only (S > 0.8) and 32 acceptor-only
  // (S < 0.2); ..." ending with how to select the FRET population, given
  // by the front end ("--where S=0.2:0.8").
  std::string text(std::string_view how_to_select) const;
};

// None when the measurement has no acceptor excitation, when `ranges`
// select by S or S_raw already, or when every burst lies within 0.2 <= S <=
// 0.8.
std::optional<StoichiometryWarning> stoichiometry_warning(
    std::span<const Burst> bursts, std::span<const BurstRange> ranges,
    const MeasurementDescription& measurement);

}  // namespace pelmora
