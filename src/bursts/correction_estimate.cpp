#include "bursts/correction_estimate.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "base/error.h"
#include "bursts/bootstrap.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

[[noreturn]] void refuse(const std::string& reason) {
  throw Error(ErrorKind::kInput, "Corrections estimate: " + reason);
}

struct Counts {
  double dd = 0;
  double da = 0;
  double aa = 0;
};

// sum(numerator) / sum(denominator) over a population, each burst taken
// `weights[b]` times (every one once without weights).
template <typename Numerator, typename Denominator>
double ratio_of_sums(const std::vector<Counts>& population, const std::vector<int>* weights,
                     const Numerator& numerator, const Denominator& denominator) {
  double top = 0;
  double bottom = 0;
  for (std::size_t b = 0; b < population.size(); ++b) {
    const double w = weights ? (*weights)[b] : 1.0;
    if (w == 0) continue;
    top += w * numerator(population[b]);
    bottom += w * denominator(population[b]);
  }
  return bottom > 0 ? top / bottom : std::nan("");
}

double leakage_of(const std::vector<Counts>& donor_only, const std::vector<int>* weights) {
  return ratio_of_sums(
      donor_only, weights, [](const Counts& c) { return c.da; },
      [](const Counts& c) { return c.dd; });
}

double dir_ex_of(const std::vector<Counts>& acceptor_only, const std::vector<int>* weights,
                 double leakage) {
  return ratio_of_sums(
      acceptor_only, weights, [leakage](const Counts& c) { return c.da - leakage * c.dd; },
      [](const Counts& c) { return c.aa; });
}

std::string too_few(std::size_t bursts, const char* population, const char* where) {
  return format_text("only %zu %s bursts (%s); at least %zu are needed.", bursts, population, where,
                     kMinPopulationBursts);
}

std::optional<Interval> percentile_interval(std::vector<double> values) {
  std::erase_if(values, [](double v) { return !std::isfinite(v); });
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  return Interval{sorted_quantile(values, 0.025), sorted_quantile(values, 0.975)};
}

}  // namespace

std::string CorrectionEstimate::options_text() const {
  std::string text;
  if (leakage.value) text += format_text("--leakage %.3g", *leakage.value);
  if (dir_ex.value) text += format_text("%s--dir-ex %.3g", text.empty() ? "" : " ", *dir_ex.value);
  return text;
}

CorrectionEstimate estimate_corrections(std::span<const Burst> bursts,
                                        const MeasurementDescription& measurement,
                                        const CorrectionEstimateOptions& options) {
  if (!has_acceptor_excitation(measurement)) {
    refuse(
        "leakage and direct excitation come from the donor-only and acceptor-only "
        "populations, told apart by the stoichiometry S, which needs acceptor excitation "
        "(smFRET-usALEX or smFRET-nsALEX); " +
        (measurement.path.empty() ? std::string("the measurement") : measurement.path) +
        " is of type " +
        (measurement.measurement_type.empty() ? std::string("smFRET")
                                              : measurement.measurement_type) +
        ".");
  }
  if (!(options.acceptor_only_max_s < options.donor_only_min_s) ||
      !std::isfinite(options.acceptor_only_max_s) || !std::isfinite(options.donor_only_min_s)) {
    refuse(format_text("the acceptor-only bound of S (%g) must lie below the donor-only one (%g).",
                       options.acceptor_only_max_s, options.donor_only_min_s));
  }
  if (options.resamples < 1) {
    refuse(format_text("at least 1 bootstrap resample is needed (found %d).", options.resamples));
  }
  if (!(options.known_leakage >= 0 && options.known_leakage < 1)) {
    refuse(format_text("the known leakage must be at least 0 and below 1 (found %g).",
                       options.known_leakage));
  }
  std::vector<Counts> donor_only;
  std::vector<Counts> acceptor_only;
  for (const Burst& burst : bursts) {
    const BurstStreams& s = burst.streams;
    const Counts counts{s.n_dd_corr, s.n_da_corr, s.n_aa_corr};
    if (s.S_raw > options.donor_only_min_s) donor_only.push_back(counts);
    if (s.S_raw < options.acceptor_only_max_s) acceptor_only.push_back(counts);
  }

  CorrectionEstimate estimate;
  estimate.options = options;
  estimate.leakage.bursts = donor_only.size();
  estimate.dir_ex.bursts = acceptor_only.size();
  const std::string donor_where = format_text("S_raw > %g", options.donor_only_min_s);
  const std::string acceptor_where = format_text("S_raw < %g", options.acceptor_only_max_s);
  const bool leakage_possible = donor_only.size() >= kMinPopulationBursts;
  const bool dir_ex_possible = acceptor_only.size() >= kMinPopulationBursts;
  if (!leakage_possible) {
    estimate.leakage.reason = too_few(donor_only.size(), "donor-only", donor_where.c_str());
  }
  if (!dir_ex_possible) {
    estimate.dir_ex.reason = too_few(acceptor_only.size(), "acceptor-only", acceptor_where.c_str());
  }

  double leakage = options.known_leakage;
  if (leakage_possible) {
    const double value = leakage_of(donor_only, nullptr);
    if (std::isfinite(value)) {
      estimate.leakage.value = value;
      leakage = value;
      estimate.dir_ex_after_estimated_leakage = true;
    } else {
      estimate.leakage.reason =
          "the donor-only bursts have no donor photons left after the "
          "background.";
    }
  }
  if (dir_ex_possible) {
    const double value = dir_ex_of(acceptor_only, nullptr, leakage);
    if (std::isfinite(value)) {
      estimate.dir_ex.value = value;
    } else {
      estimate.dir_ex.reason =
          "the acceptor-only bursts have no acceptor-excitation photons "
          "left after the background.";
    }
  }

  // Both populations resampled in each round, one after the other, from one
  // seeded stream.
  std::mt19937_64 engine(options.seed);
  std::vector<int> donor_weights(donor_only.size());
  std::vector<int> acceptor_weights(acceptor_only.size());
  std::vector<double> leakages;
  std::vector<double> dir_exes;
  for (int k = 0; k < options.resamples && estimate.any(); ++k) {
    double resampled_leakage = leakage;
    if (estimate.leakage.value) {
      draw_resample(donor_weights, engine);
      resampled_leakage = leakage_of(donor_only, &donor_weights);
      leakages.push_back(resampled_leakage);
    }
    if (estimate.dir_ex.value) {
      draw_resample(acceptor_weights, engine);
      dir_exes.push_back(dir_ex_of(acceptor_only, &acceptor_weights, resampled_leakage));
    }
  }
  if (estimate.leakage.value) estimate.leakage.ci95 = percentile_interval(std::move(leakages));
  if (estimate.dir_ex.value) estimate.dir_ex.ci95 = percentile_interval(std::move(dir_exes));
  return estimate;
}

}  // namespace pelmora
