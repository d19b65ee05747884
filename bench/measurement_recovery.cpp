// What the burst library recovers from a simulated ALEX measurement whose
// truth is known (simulate_measurement's truth table), through the library
// calls a scan of a measurement is assembled from:
//
//   measurement_recovery populations M.h5 TRUTH.csv [corrections]
//     E and S of the search's bursts by their true population, the
//     dual-channel search's recall and precision of the FRET molecules, and
//     the leakage and direct excitation estimated from the measurement.
//
//   measurement_recovery measurement M.h5 [corrections]
//     the same without a truth: the S and E histograms of each search, and
//     the corrections estimate (a real measurement).
//
//   measurement_recovery scan M.h5 [--windows TABLE.csv | --search apbs|dcbs]
//       [--where COLUMN=LO:HI]... [--model M] [--background off|auto]
//       [-d BINS] [-Dmin X] [-Dmax X] [-n RUNS] [--bootstrap N] [corrections]
//     the estimate of D (in 1e-14 m^2/s) with its 95 % bootstrap interval.
//
//   measurement_recovery windows M.h5 TRUTH.csv [scan options]
//     D of the true bursts' windows, of the search's windows with their own
//     edges and with their isolated edge photons left out (the default).
//
//   corrections: --gamma G --leakage A --dir-ex D --beta B
//
// bench/corrections_recovery.sh and bench/search_windows.sh run it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "bursts/background.h"
#include "bursts/background_choice.h"
#include "bursts/burst_search.h"
#include "bursts/burst_selection.h"
#include "bursts/burst_streams.h"
#include "bursts/burst_table.h"
#include "bursts/colour_shares.h"
#include "bursts/correction_estimate.h"
#include "bursts/d_estimate.h"
#include "bursts/joint_likelihood.h"
#include "engine/corrected_colours.h"
#include "engine/model_grid.h"
#include "engine/scan_arithmetic.h"
#include "input/distance_model_text.h"
#include "input/photon_hdf5.h"
#include "pelmora/machine_options.h"
#include "pelmora/measurement.h"

namespace {

using namespace pelmora;

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "measurement_recovery: %s\n", message.c_str());
  std::exit(1);
}

struct Arguments {
  std::vector<std::string> names;
  std::map<std::string, std::vector<std::string>> options;

  std::optional<std::string> text(const std::string& name) const {
    const auto found = options.find(name);
    if (found == options.end()) return std::nullopt;
    return found->second.back();
  }
  double real(const std::string& name, double fallback) const {
    const std::optional<std::string> value = text(name);
    return value ? std::stod(*value) : fallback;
  }
};

Arguments parse(int argc, char** argv) {
  Arguments arguments;
  for (int i = 2; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.size() > 1 && word[0] == '-' && !std::isdigit(static_cast<unsigned char>(word[1]))) {
      if (i + 1 >= argc) fail("missing value for " + word);
      arguments.options[word].push_back(argv[++i]);
    } else {
      arguments.names.push_back(word);
    }
  }
  return arguments;
}

FretCorrections corrections_of(const Arguments& a) {
  FretCorrections c;
  c.gamma = a.real("--gamma", 1);
  c.leakage = a.real("--leakage", 0);
  c.dir_ex = a.real("--dir-ex", 0);
  c.beta = a.real("--beta", 1);
  check_fret_corrections(c);
  return c;
}

struct TrueBurst {
  BurstWindow window;
  std::string population;
};

std::vector<TrueBurst> read_truth(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  const bool populations = line.find(",population") != std::string::npos;
  std::vector<TrueBurst> truth;
  while (std::getline(file, line)) {
    std::stringstream fields(line);
    std::string field;
    std::vector<std::string> values;
    while (std::getline(fields, field, ',')) values.push_back(field);
    TrueBurst burst;
    burst.window = {std::stoll(values[0]), std::stod(values[1]), std::stod(values[2])};
    burst.population = populations ? values[4] : "FRET";
    truth.push_back(burst);
  }
  return truth;
}

// The true burst that overlaps `window` longest; none without overlap.
std::optional<std::size_t> match(const std::vector<TrueBurst>& truth, const BurstWindow& window) {
  const auto first =
      std::lower_bound(truth.begin(), truth.end(), window.t_start_s,
                       [](const TrueBurst& t, double start) { return t.window.t_stop_s < start; });
  std::optional<std::size_t> best;
  double longest = -1;
  for (auto t = first; t != truth.end() && t->window.t_start_s <= window.t_stop_s; ++t) {
    const double overlap = std::min(t->window.t_stop_s, window.t_stop_s) -
                           std::max(t->window.t_start_s, window.t_start_s);
    if (overlap > longest) {
      longest = overlap;
      best = static_cast<std::size_t>(t - truth.begin());
    }
  }
  return best;
}

double median(std::vector<double> values) {
  std::erase_if(values, [](double v) { return !std::isfinite(v); });
  if (values.empty()) return std::nan("");
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

void report_populations(const Arguments& a) {
  if (a.names.size() != 2) fail("populations takes M.h5 TRUTH.csv");
  const Measurement m = read_photon_hdf5(a.names[0]);
  const std::vector<TrueBurst> truth = read_truth(a.names[1]);
  const FretCorrections corrections = corrections_of(a);
  const Background background = estimate_background(m, 60);
  BurstSearchOptions options;
  options.corrections = corrections;
  const BurstSearchResult all = search_bursts(m, options, background);
  options.method = BurstSearchMethod::kDualChannel;
  const BurstSearchResult dual = search_bursts(m, options, background);
  // Bursts sized by all three streams, so that acceptor-only molecules, with
  // hardly any analysed photons, are kept: for E, S and the estimate.
  BurstSearchOptions sized;
  sized.corrections = corrections;
  sized.size = BurstSize::kAllStreams;
  const BurstSearchResult single = search_bursts(m, sized, background);

  std::vector<bool> found_fret(truth.size(), false);
  std::size_t all_fret = 0;
  for (const Burst& burst : all.bursts) {
    const std::optional<std::size_t> t = match(truth, burst.window);
    if (t && truth[*t].population == "FRET") {
      found_fret[*t] = true;
      ++all_fret;
    }
  }
  // E and S of the bursts by population.
  std::map<std::string, std::vector<const Burst*>> by_population;
  for (const Burst& burst : single.bursts) {
    const std::optional<std::size_t> t = match(truth, burst.window);
    by_population[t ? truth[*t].population : "background"].push_back(&burst);
  }
  std::printf("all-photons search, bursts of at least 30 photons of all three streams: %zu\n",
              single.bursts.size());
  std::printf("  %-14s %6s %8s %8s %8s %8s\n", "population", "bursts", "E_raw", "S_raw", "E", "S");
  for (const auto& [population, bursts] : by_population) {
    std::vector<double> e_raw, s_raw, e, s;
    for (const Burst* b : bursts) {
      e_raw.push_back(b->streams.E_raw);
      s_raw.push_back(b->streams.S_raw);
      e.push_back(b->streams.E);
      s.push_back(b->streams.S);
    }
    std::printf("  %-14s %6zu %8.3f %8.3f %8.3f %8.3f   (medians)\n", population.c_str(),
                bursts.size(), median(e_raw), median(s_raw), median(e), median(s));
  }

  // The dual-channel search: FRET molecules kept (of those the all-photons
  // search found), and the share of its bursts that are FRET molecules.
  std::size_t fret_bursts = 0;
  std::vector<bool> kept(truth.size(), false);
  std::map<std::string, std::size_t> dual_populations;
  for (const Burst& burst : dual.bursts) {
    const std::optional<std::size_t> t = match(truth, burst.window);
    const std::string population = t ? truth[*t].population : "background";
    ++dual_populations[population];
    if (population == "FRET") {
      ++fret_bursts;
      kept[*t] = true;
    }
  }
  std::size_t findable = 0, recalled = 0;
  for (std::size_t t = 0; t < truth.size(); ++t) {
    if (!found_fret[t]) continue;
    ++findable;
    if (kept[t]) ++recalled;
  }
  std::printf(
      "dual-channel search (30 analysed photons): %zu bursts (FRET %zu, donor-only %zu, "
      "acceptor-only %zu, background %zu)\n  recall of the FRET molecules the all-photons search "
      "finds: %zu of %zu (%.3f); precision: %.3f (all-photons search: %.3f of %zu)\n",
      dual.bursts.size(), dual_populations["FRET"], dual_populations["donor-only"],
      dual_populations["acceptor-only"], dual_populations["background"], recalled, findable,
      static_cast<double>(recalled) / static_cast<double>(findable),
      static_cast<double>(fret_bursts) / static_cast<double>(dual.bursts.size()),
      static_cast<double>(all_fret) / static_cast<double>(all.bursts.size()), all.bursts.size());

  const CorrectionEstimate estimate = estimate_corrections(single.bursts, m.description);
  const auto show = [](const char* name, const CoefficientEstimate& c, double truth_value) {
    if (!c.value) {
      std::printf("  %s: no estimate (%s)\n", name, c.reason.c_str());
      return;
    }
    std::printf("  %s = %.4f (95 %%: %.4f to %.4f, %zu bursts); truth %.4f, inside: %s\n", name,
                *c.value, c.ci95->low, c.ci95->high, c.bursts, truth_value,
                c.ci95->low <= truth_value && truth_value <= c.ci95->high ? "yes" : "no");
  };
  std::printf("corrections estimate (%s):\n", estimate.options_text().c_str());
  show("leakage", estimate.leakage, a.real("--true-leakage", corrections.leakage));
  show("dir_ex ", estimate.dir_ex, a.real("--true-dir-ex", corrections.dir_ex));
}

// A histogram of `values` in [0, 1] by tenths, as counts.
std::string tenths(const std::vector<double>& values) {
  int counts[12] = {};
  for (const double v : values) {
    if (!std::isfinite(v)) continue;
    counts[v < 0 ? 0 : v >= 1 ? 11 : 1 + static_cast<int>(v * 10)]++;
  }
  std::string text = "<0: " + std::to_string(counts[0]) + " |";
  for (int i = 1; i <= 10; ++i) text += " " + std::to_string(counts[i]);
  return text + " | >=1: " + std::to_string(counts[11]);
}

void report_measurement(const Arguments& a) {
  if (a.names.size() != 1) fail("measurement takes M.h5");
  const Measurement m = read_photon_hdf5(a.names[0]);
  const FretCorrections corrections = corrections_of(a);
  const Background background = estimate_background(m, 60);
  std::printf("background: DD %.1f Hz, DA %.1f Hz, AA %.1f Hz, all %.1f Hz\n",
              background.whole.donor.rate_hz, background.whole.acceptor.rate_hz,
              background.whole.acceptor_excited.rate_hz, background.whole.all.rate_hz);
  for (const BurstSize size : {BurstSize::kAnalysed, BurstSize::kAllStreams}) {
    for (const BurstSearchMethod method :
         {BurstSearchMethod::kAllPhotons, BurstSearchMethod::kDualChannel}) {
      BurstSearchOptions options;
      options.corrections = corrections;
      options.method = method;
      options.size = size;
      const BurstSearchResult found = search_bursts(m, options, background);
      std::vector<double> s, e_fret;
      std::size_t donor_only = 0, acceptor_only = 0;
      for (const Burst& b : found.bursts) {
        s.push_back(b.streams.S);
        if (b.streams.S > 0.8) ++donor_only;
        if (b.streams.S < 0.2) ++acceptor_only;
        if (b.streams.S >= 0.2 && b.streams.S <= 0.8) e_fret.push_back(b.streams.E);
      }
      std::printf(
          "%s, 30 %s photons: %zu bursts; S > 0.8: %zu, S < 0.2: %zu, FRET (0.2 <= S <= 0.8): %zu "
          "of median E %.3f\n  S by tenths: %s\n  E of the FRET population by tenths: %s\n",
          burst_search_method_name(method),
          size == BurstSize::kAnalysed ? "analysed" : "all-stream", found.bursts.size(), donor_only,
          acceptor_only, e_fret.size(), median(e_fret), tenths(s).c_str(), tenths(e_fret).c_str());
      if (size == BurstSize::kAllStreams && method == BurstSearchMethod::kAllPhotons) {
        const CorrectionEstimate estimate = estimate_corrections(found.bursts, m.description);
        for (const auto& [name, c] :
             {std::pair<const char*, const CoefficientEstimate*>{"leakage", &estimate.leakage},
              {"dir_ex", &estimate.dir_ex}}) {
          if (c->value) {
            std::printf("  %s = %.4f (95 %%: %.4f to %.4f, %zu bursts)\n", name, *c->value,
                        c->ci95->low, c->ci95->high, c->bursts);
          } else {
            std::printf("  %s: %s\n", name, c->reason.c_str());
          }
        }
        std::printf("  options: %s\n", estimate.options_text().c_str());
      }
    }
  }
}

struct DEstimate {
  JointEstimate estimate;
  BackgroundShares mean_shares;
  std::optional<ShareCapWarning> capped;
};

// D of `bursts` by the library's pieces, as a scan of a measurement
// assembles them: each burst's record and colour shares, the model's grid
// with the corrections, the joint scan and its bootstrap.
DEstimate estimate_d(const Measurement& m, const Background& background,
                     std::span<const Burst> bursts, const FretCorrections& corrections,
                     const Arguments& a) {
  std::vector<BurstWindow> windows;
  std::vector<BurstCounts> counts;
  std::vector<PhotonList> records;
  for (const Burst& burst : bursts) {
    windows.push_back(burst.window);
    counts.push_back(burst.counts);
    records.push_back(burst_photon_list(m, burst.window, silent_observer()));
  }
  std::vector<const PhotonList*> pointers;
  std::vector<int> analysed;
  for (const PhotonList& record : records) {
    pointers.push_back(&record);
    analysed.push_back(record.photon_count);
  }
  const BackgroundChoice choice = parse_background_choice(a.text("--background").value_or("auto"));
  std::vector<CappedShares> capped;
  for (std::size_t b = 0; b < windows.size(); ++b) {
    const BackgroundCounts expected =
        expected_background(background, windows[b].t_start_s, windows[b].t_stop_s);
    BackgroundCounts mixed;
    mixed.acceptor_excited = expected.acceptor_excited;
    if (choice.mode == BackgroundChoice::Mode::kAuto) {
      mixed.donor = expected.donor;
      mixed.acceptor = expected.acceptor;
    } else if (choice.mode == BackgroundChoice::Mode::kRates) {
      const double span = windows[b].t_stop_s - windows[b].t_start_s;
      mixed.donor = choice.donor_hz * span;
      mixed.acceptor = choice.acceptor_hz * span;
    }
    capped.push_back(burst_colour_shares(counts[b], mixed, analysed[b], corrections));
  }
  DEstimate result;
  std::vector<BackgroundShares> shares;
  for (const CappedShares& s : capped) {
    shares.push_back(s.shares);
    result.mean_shares.donor += s.shares.donor / static_cast<double>(capped.size());
    result.mean_shares.acceptor += s.shares.acceptor / static_cast<double>(capped.size());
    result.mean_shares.direct += s.shares.direct / static_cast<double>(capped.size());
  }
  result.capped = share_cap_warning(capped);

  AnalysisOptions analysis;
  analysis.distance_bins = static_cast<int>(a.real("-d", 100));
  const AnalysisSettings settings = derive_settings(analysis);
  const DistanceModel model = parse_distance_model(a.text("--model").value_or("free"));
  const DistanceGrid grid = make_model_grid(settings, model, corrections);
  const std::vector<double> coefficients =
      log_spaced_coefficients(a.real("-Dmin", 0.4) * 1e-14, a.real("-Dmax", 2.5) * 1e-14,
                              static_cast<int>(a.real("-n", 13)));
  const JointScan joint = scan_bursts(pointers, coefficients, grid, shares,
                                      engine_options_for_this_machine(), silent_observer());
  std::vector<double> table;
  for (int b = 0; b < joint.table.records; ++b) {
    for (std::size_t i = 0; i < coefficients.size(); ++i) {
      table.push_back(joint.bursts[static_cast<std::size_t>(b)].left_out == LeftOut::kNo
                          ? joint.table.at(b, static_cast<int>(i)).log_likelihood
                          : std::nan(""));
    }
  }
  LikelihoodGrid grid_axes;
  grid_axes.coefficients = {"D_m2_per_s", coefficients, AxisScale::kLogarithmic};
  BootstrapOptions bootstrap;
  bootstrap.resamples = static_cast<int>(a.real("--bootstrap", 1000));
  result.estimate =
      estimate_joint(analysed_bursts(table, coefficients.size()), grid_axes, bootstrap);
  return result;
}

void report_scan(const Arguments& a) {
  if (a.names.size() != 1) fail("scan takes M.h5");
  const Measurement m = read_photon_hdf5(a.names[0]);
  const FretCorrections corrections = corrections_of(a);
  check_corrections_for(corrections, m.description);
  const Background background = estimate_background(m, 60);
  std::vector<Burst> bursts;
  if (const std::optional<std::string> table = a.text("--windows")) {
    bursts = describe_bursts(m, read_burst_table(*table), background, corrections);
  } else {
    BurstSearchOptions options;
    options.corrections = corrections;
    options.method = parse_burst_search_method(a.text("--search").value_or("apbs"));
    bursts = search_bursts(m, options, background).bursts;
  }
  std::vector<BurstRange> where;
  if (a.options.count("--where")) {
    for (const std::string& text : a.options.at("--where"))
      where.push_back(parse_burst_range(text));
  }
  check_ranges_for(where, m.description);
  std::vector<Burst> selected;
  for (const std::size_t b : select_bursts(bursts, where)) selected.push_back(bursts[b]);
  const DEstimate d = estimate_d(m, background, selected, corrections, a);
  const JointEstimate& estimate = d.estimate;
  std::printf("bursts %zu of %zu, D %.4f", estimate.bursts, bursts.size(),
              estimate.coefficient.peak.value * 1e14);
  if (estimate.coefficient.ci95) {
    std::printf(" (95 %%: %.4f to %.4f)", estimate.coefficient.ci95->low * 1e14,
                estimate.coefficient.ci95->high * 1e14);
  }
  std::printf(" x 1e-14 m^2/s; mean shares fD %.4f fA %.4f fdir %.4f\n", d.mean_shares.donor,
              d.mean_shares.acceptor, d.mean_shares.direct);
  if (d.capped) std::printf("warning: %s\n", d.capped->text().c_str());
  if (const std::optional<StoichiometryWarning> warning =
          stoichiometry_warning(bursts, where, m.description)) {
    std::printf("warning: %s\n", warning->text("--where S=0.2:0.8").c_str());
  }
}

// D of the search's bursts, with the windows' own edges and without their
// isolated edge photons, against D of the same molecules' true windows.
void report_windows(const Arguments& a) {
  if (a.names.size() != 2) fail("windows takes M.h5 TRUTH.csv");
  const Measurement m = read_photon_hdf5(a.names[0]);
  const std::vector<TrueBurst> truth = read_truth(a.names[1]);
  const Background background = estimate_background(m, 60);
  // Each true burst's searched burst of either kind, when one search burst
  // overlaps it most.
  std::vector<std::optional<Burst>> classic(truth.size()), trimmed(truth.size());
  for (const BurstEdges edges : {BurstEdges::kWindows, BurstEdges::kTrimmed}) {
    BurstSearchOptions options;
    options.edges = edges;
    for (const Burst& burst : search_bursts(m, options, background).bursts) {
      const std::optional<std::size_t> t = match(truth, burst.window);
      if (!t) continue;
      auto& slot = (edges == BurstEdges::kWindows ? classic : trimmed)[*t];
      if (!slot) slot = burst;
    }
  }
  std::vector<Burst> true_bursts, classic_bursts, trimmed_bursts;
  double early = 0, late = 0, early_trimmed = 0, late_trimmed = 0;
  for (std::size_t t = 0; t < truth.size(); ++t) {
    if (!classic[t] || !trimmed[t]) continue;
    true_bursts.push_back(describe_burst(m, truth[t].window, background, {}));
    classic_bursts.push_back(*classic[t]);
    trimmed_bursts.push_back(*trimmed[t]);
    early += truth[t].window.t_start_s - classic[t]->window.t_start_s;
    late += classic[t]->window.t_stop_s - truth[t].window.t_stop_s;
    early_trimmed += truth[t].window.t_start_s - trimmed[t]->window.t_start_s;
    late_trimmed += trimmed[t]->window.t_stop_s - truth[t].window.t_stop_s;
  }
  const double n = static_cast<double>(true_bursts.size());
  const double d_true =
      estimate_d(m, background, true_bursts, {}, a).estimate.coefficient.peak.value;
  const double d_classic =
      estimate_d(m, background, classic_bursts, {}, a).estimate.coefficient.peak.value;
  const double d_trimmed =
      estimate_d(m, background, trimmed_bursts, {}, a).estimate.coefficient.peak.value;
  std::printf(
      "%zu bursts: D true windows %.4f; windows' edges %.4f (x %.4f; start %.3f ms earlier, stop "
      "%.3f ms later); trimmed %.4f (x %.4f; %.3f ms, %.3f ms)\n",
      true_bursts.size(), d_true * 1e14, d_classic * 1e14, d_classic / d_true, 1e3 * early / n,
      1e3 * late / n, d_trimmed * 1e14, d_trimmed / d_true, 1e3 * early_trimmed / n,
      1e3 * late_trimmed / n);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) fail("usage: measurement_recovery populations|scan ...");
  const std::string mode = argv[1];
  try {
    const Arguments arguments = parse(argc, argv);
    if (mode == "populations") {
      report_populations(arguments);
    } else if (mode == "measurement") {
      report_measurement(arguments);
    } else if (mode == "windows") {
      report_windows(arguments);
    } else if (mode == "scan") {
      report_scan(arguments);
    } else {
      fail("unknown mode " + mode);
    }
  } catch (const Error& error) {
    fail(error.message());
  }
  return 0;
}
