#include "bursts/colour_shares.h"

#include <algorithm>

#include "base/error.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

[[noreturn]] void refuse_direct_excitation(double dir_ex, const std::string& where) {
  throw Error(ErrorKind::kInput,
              format_text("--dir-ex %g: direct excitation is scaled by each burst's "
                          "acceptor-excitation photons (n_aa), and %s has none (it needs "
                          "smFRET-usALEX or smFRET-nsALEX).",
                          dir_ex, where.c_str()));
}

}  // namespace

CappedShares burst_colour_shares(const BurstCounts& counts, const BackgroundCounts& background,
                                 std::int64_t analysed, const FretCorrections& corrections) {
  double direct = 0;
  if (corrections.dir_ex != 0) {
    if (!counts.acceptor_excited) refuse_direct_excitation(corrections.dir_ex, "this burst");
    direct = corrections.dir_ex *
             (static_cast<double>(*counts.acceptor_excited) - background.acceptor_excited);
  }
  return colour_shares(background.donor, background.acceptor, direct,
                       static_cast<double>(analysed));
}

void check_corrections_for(const FretCorrections& corrections,
                           const MeasurementDescription& measurement) {
  if (corrections.dir_ex == 0 || has_acceptor_excitation(measurement)) return;
  refuse_direct_excitation(
      corrections.dir_ex,
      (measurement.path.empty() ? std::string("the measurement") : measurement.path) +
          " (of type " +
          (measurement.measurement_type.empty() ? std::string("smFRET")
                                                : measurement.measurement_type) +
          ")");
}

std::string ShareCapWarning::text() const {
  return format_text(
      "In %zu of %zu bursts the background and direct excitation were expected to give more "
      "than %g %% of the analysed photons (up to %.0f %%); their shares were scaled down "
      "together to %g %%, so these bursts keep some background in their signal.",
      capped, bursts, 100 * kMaxBackgroundShare, 100 * largest_sum, 100 * kMaxBackgroundShare);
}

std::optional<ShareCapWarning> share_cap_warning(std::span<const CappedShares> shares) {
  ShareCapWarning warning;
  warning.bursts = shares.size();
  for (const CappedShares& s : shares) {
    if (!s.capped) continue;
    ++warning.capped;
    warning.largest_sum = std::max(warning.largest_sum, s.uncapped_sum);
  }
  if (warning.capped == 0) return std::nullopt;
  return warning;
}

}  // namespace pelmora
