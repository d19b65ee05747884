// Writes a simulated confocal smFRET measurement as a Photon-HDF5 0.5 file,
// laid out as phconvert lays out its files (identity/, setup/,
// photon_data/ with timestamps_specs/ and measurement_specs/), together with
// the true burst windows and, if asked, the true distance trajectory.
//
// The physics is deliberately simple.  Molecules cross the focus as a
// Poisson process.  A crossing gives a Gaussian brightness profile in time
// (its full width of four standard deviations is the transit time), so its
// photons are a Poisson number of arrivals scattered normally about the
// crossing's centre; the expected number is drawn uniformly from half to one
// and a half times the mean burst size.  Each molecule's dye-to-dye distance
// starts from the stationary distribution of its model (distance_model.h;
// by default free diffusion between reflecting walls at rmin and rmax, so
// anywhere in [rmin, rmax]) and follows Brownian dynamics in steps far
// shorter than the photon spacing.  A donor-excited photon is an
// acceptor photon with probability E(r) = 1 / (1 + (r/R0)^6); under the
// acceptor laser every photon is an acceptor photon.
//
// A setup with imperfections, or molecules that lack a dye, emit each
// stream at its own rate (per unit of the crossing's brightness N): under
// the donor laser the donor channel sees (1 - E), the acceptor channel
// leakage alpha (1 - E) + gamma E + direct excitation; under the acceptor
// laser the acceptor channel sees beta gamma (so that the corrected S of a
// FRET molecule is 1/2).  Direct excitation gives delta acceptor photons
// under the donor laser per photon under the acceptor laser.  A donor-only
// molecule (no active acceptor) emits 1 and alpha under the donor laser and
// nothing under the acceptor's; an acceptor-only molecule only its direct
// excitation and beta gamma.  The crossing's photons are then drawn at the
// largest of these rates and each kept with its rate's share of it.
// Background photons
// arrive at constant rates in each channel, so their colours owe nothing to
// any molecule's distance; markers, if asked, on a detector of their own.  Each channel's photons
// are spread evenly over its detector ids.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.h"
#include "distance_model.h"
#include "hdf5/file.h"
#include "hdf5/write.h"
#include "number_text.h"
#include "random_source.h"

namespace {

namespace h5 = pelmora::hdf5;

const char kUsage[] =
    "usage: simulate_measurement [options] OUTPUT.h5\n"
    "\n"
    "Measurement\n"
    "  --duration S            length of the measurement in seconds (10)\n"
    "  --type T                smFRET, usALEX or nsALEX (smFRET)\n"
    "  --burst-rate HZ         molecules crossing the focus per second (5)\n"
    "  --burst-size N          mean photons of a crossing, all channels (60)\n"
    "  --transit-ms MS         duration of a crossing, 4 standard deviations of its\n"
    "                          Gaussian brightness profile (2)\n"
    "  --bg-donor HZ           background rate of the donor channel (500)\n"
    "  --bg-acceptor HZ        background rate of the acceptor channel (300)\n"
    "  --marker-id ID          add photons of one more detector (markers), which\n"
    "  --marker-rate HZ          belongs to neither channel (none; rate 100)\n"
    "\n"
    "Alternation (timestamp units for usALEX, TCSPC bins for nsALEX)\n"
    "  --alex-period TICKS     usALEX: alternation period (4000)\n"
    "  --alex-offset TICKS     usALEX: offset of the alternation (0)\n"
    "  --donor-window A,B      usALEX: donor laser on while A <= phase < B, wrapping\n"
    "                          when B < A; acceptor laser on otherwise (0,2000)\n"
    "  --tcspc-bins N          nsALEX: TCSPC bins; the donor pulse owns the first\n"
    "                          half, the acceptor pulse the second (4096)\n"
    "  --tcspc-unit S          nsALEX: TCSPC bin width in seconds (16e-12)\n"
    "  --lifetime-ns NS        nsALEX: fluorescence lifetime (3)\n"
    "\n"
    "Molecule\n"
    "  -D COEFF                distance diffusion coefficient in 1e-14 m^2/s (1)\n"
    "  --model M               free energy of the distance: free (flat between --rmin\n"
    "                          and --rmax), box:A:B (flat between walls at A and B nm),\n"
    "                          chain:RMS (Gaussian chain of RMS nm), pmf:FILE (a table\n"
    "                          of distance in nm and density P_eq) (free)\n"
    "  --rmin NM --rmax NM     reflecting walls of the distance, model free (2, 11)\n"
    "  --R0 NM                 Foerster radius (6.5)\n"
    "  --step-us US            longest Brownian-dynamics step; shortened to a tenth\n"
    "                          of the photon spacing at a burst's peak and, in a\n"
    "                          potential, to a twentieth of P_eq's spread per step (0.5)\n"
    "  --donor-only F          share of molecules without an active acceptor (0)\n"
    "  --acceptor-only F       share of molecules without an active donor; ALEX only (0)\n"
    "\n"
    "Setup (the field's correction factors; a perfect setup by default)\n"
    "  --gamma G               acceptor over donor detection efficiency x quantum\n"
    "                          yield (1)\n"
    "  --leakage A             donor photons in the acceptor channel per donor-channel\n"
    "                          photon (0)\n"
    "  --dir-ex D              acceptor photons excited directly by the donor laser,\n"
    "                          per acceptor-excitation photon; ALEX only (0)\n"
    "  --beta B                acceptor- over donor-excitation intensity; ALEX only (1)\n"
    "\n"
    "File\n"
    "  --unit S                timestamps unit in seconds (12.5e-9)\n"
    "  --timestamp-type T      int8, uint8, int16, uint16, int32, uint32, int64 or\n"
    "                          uint64 (int64)\n"
    "  --detector-type T       the same choice for the detectors array (uint8)\n"
    "  --donor-ids LIST        donor detector ids, comma-separated (0)\n"
    "  --acceptor-ids LIST     acceptor detector ids (1)\n"
    "  --spots LIST            write a multi-spot file with these spot numbers, e.g.\n"
    "                          0,1,3 (default: one spot, /photon_data)\n"
    "  --strings E             encoding of every string: nulterm (fixed length,\n"
    "                          NUL-terminated), nulpad (fixed, NUL-padded) or vlen\n"
    "                          (variable-length UTF-8) (nulterm)\n"
    "  --no-gzip               store the photon arrays uncompressed\n"
    "  --creation-time TEXT    /identity/creation_time (left out by default, so that\n"
    "                          the same options give the same file)\n"
    "  --seed N                random seed (1)\n"
    "\n"
    "Truth\n"
    "  --bursts FILE           true burst windows, CSV burst,t_start_s,t_stop_s,photons\n"
    "                          (first to last photon of each crossing; with single-colour\n"
    "                          molecules a population column follows: FRET, donor-only\n"
    "                          or acceptor-only; a spot column follows for multi-spot\n"
    "                          files) (OUTPUT's stem + .bursts.csv)\n"
    "  --trajectory FILE       the true distance at every burst photon, CSV\n"
    "                          burst,t_s,distance_nm (and spot) (not written)\n";

enum class Excitation { kSmFret, kUsAlex, kNsAlex };

struct Options {
  double duration = 10;
  Excitation excitation = Excitation::kSmFret;
  double burst_rate = 5;
  double burst_size = 60;
  double transit_ms = 2;
  double background_donor = 500;
  double background_acceptor = 300;
  std::optional<std::int64_t> marker_id;
  double marker_rate = 100;
  std::int64_t alex_period = 4000;
  std::int64_t alex_offset = 0;
  std::pair<std::int64_t, std::int64_t> donor_window{0, 2000};
  std::int64_t tcspc_bins = 4096;
  double tcspc_unit = 16e-12;
  double lifetime_ns = 3;
  double diffusion = 1;  // 1e-14 m^2/s
  pelmora::DistanceModel model;
  bool walls_given = false;  // --rmin or --rmax
  double rmin = 2;
  double rmax = 11;
  double radius = 6.5;
  double step_us = 0.5;
  double donor_only = 0;
  double acceptor_only = 0;
  double gamma = 1;
  double leakage = 0;
  double dir_ex = 0;
  double beta = 1;
  double unit = 12.5e-9;
  h5::IntegerType timestamp_type = h5::IntegerType::kInt64;
  h5::IntegerType detector_type = h5::IntegerType::kUInt8;
  std::vector<std::int64_t> donor_ids{0};
  std::vector<std::int64_t> acceptor_ids{1};
  std::vector<std::int64_t> spots;  // empty: single spot
  h5::StringEncoding strings = h5::StringEncoding::kNulTerminated;
  bool gzip = true;
  std::string creation_time;
  std::uint64_t seed = 1;
  std::string output;
  std::string bursts;
  std::string trajectory;

  bool single_colours() const { return donor_only > 0 || acceptor_only > 0; }
  // Whether the streams have rates of their own (else every crossing's
  // photon is kept, as a perfect setup's).
  bool stream_rates() const {
    return single_colours() || gamma != 1 || leakage != 0 || dir_ex != 0 || beta != 1;
  }
};

[[noreturn]] void usage_exit(const std::string& reason) {
  std::fprintf(stderr, "simulate_measurement: %s\n\n%s", reason.c_str(), kUsage);
  std::exit(1);
}

template <typename Integer>
bool parse_integer(std::string_view text, Integer& value) {
  const char* const end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end && !text.empty();
}

bool parse_list(std::string_view text, std::vector<std::int64_t>& values) {
  values.clear();
  while (true) {
    const std::size_t comma = text.find(',');
    std::int64_t value = 0;
    if (!parse_integer(text.substr(0, comma), value)) return false;
    values.push_back(value);
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

bool parse_integer_type(std::string_view text, h5::IntegerType& type) {
  const std::pair<const char*, h5::IntegerType> names[] = {
      {"int8", h5::IntegerType::kInt8},   {"uint8", h5::IntegerType::kUInt8},
      {"int16", h5::IntegerType::kInt16}, {"uint16", h5::IntegerType::kUInt16},
      {"int32", h5::IntegerType::kInt32}, {"uint32", h5::IntegerType::kUInt32},
      {"int64", h5::IntegerType::kInt64}, {"uint64", h5::IntegerType::kUInt64}};
  for (const auto& [name, value] : names) {
    if (text == name) {
      type = value;
      return true;
    }
  }
  return false;
}

bool parse_value(std::string_view name, const char* value, Options& options) {
  const std::pair<const char*, double*> reals[] = {{"--duration", &options.duration},
                                                   {"--burst-rate", &options.burst_rate},
                                                   {"--burst-size", &options.burst_size},
                                                   {"--transit-ms", &options.transit_ms},
                                                   {"--bg-donor", &options.background_donor},
                                                   {"--bg-acceptor", &options.background_acceptor},
                                                   {"--marker-rate", &options.marker_rate},
                                                   {"--tcspc-unit", &options.tcspc_unit},
                                                   {"--lifetime-ns", &options.lifetime_ns},
                                                   {"-D", &options.diffusion},
                                                   {"--rmin", &options.rmin},
                                                   {"--rmax", &options.rmax},
                                                   {"--R0", &options.radius},
                                                   {"--step-us", &options.step_us},
                                                   {"--donor-only", &options.donor_only},
                                                   {"--acceptor-only", &options.acceptor_only},
                                                   {"--gamma", &options.gamma},
                                                   {"--leakage", &options.leakage},
                                                   {"--dir-ex", &options.dir_ex},
                                                   {"--beta", &options.beta},
                                                   {"--unit", &options.unit}};
  for (const auto& [option, target] : reals) {
    if (name == "--rmin" || name == "--rmax") options.walls_given = true;
    if (name == option) return parse_real(value, *target);
  }
  const std::pair<const char*, std::int64_t*> integers[] = {{"--alex-period", &options.alex_period},
                                                            {"--alex-offset", &options.alex_offset},
                                                            {"--tcspc-bins", &options.tcspc_bins}};
  for (const auto& [option, target] : integers) {
    if (name == option) return parse_integer(std::string_view(value), *target);
  }
  if (name == "--type") {
    const std::string_view text = value;
    options.excitation = text == "usALEX"   ? Excitation::kUsAlex
                         : text == "nsALEX" ? Excitation::kNsAlex
                                            : Excitation::kSmFret;
    return text == "usALEX" || text == "nsALEX" || text == "smFRET";
  }
  if (name == "--marker-id") {
    std::int64_t id = 0;
    if (!parse_integer(std::string_view(value), id)) return false;
    options.marker_id = id;
    return true;
  }
  if (name == "--donor-window") {
    std::vector<std::int64_t> window;
    if (!parse_list(value, window) || window.size() != 2) return false;
    options.donor_window = {window[0], window[1]};
    return true;
  }
  if (name == "--timestamp-type") return parse_integer_type(value, options.timestamp_type);
  if (name == "--detector-type") return parse_integer_type(value, options.detector_type);
  if (name == "--donor-ids") return parse_list(value, options.donor_ids);
  if (name == "--acceptor-ids") return parse_list(value, options.acceptor_ids);
  if (name == "--spots") return parse_list(value, options.spots);
  if (name == "--strings") {
    const std::string_view text = value;
    if (text == "nulterm")
      options.strings = h5::StringEncoding::kNulTerminated;
    else if (text == "nulpad")
      options.strings = h5::StringEncoding::kNulPadded;
    else if (text == "vlen")
      options.strings = h5::StringEncoding::kVariableLength;
    else
      return false;
    return true;
  }
  if (name == "--model") {
    try {
      options.model = DistanceWalk::parse(value);
    } catch (const std::invalid_argument& error) {
      usage_exit(error.what());
    }
    return true;
  }
  if (name == "--creation-time")
    options.creation_time = value;
  else if (name == "--seed")
    return parse_integer(std::string_view(value), options.seed);
  else if (name == "--bursts")
    options.bursts = value;
  else if (name == "--trajectory")
    options.trajectory = value;
  else
    usage_exit("unknown option " + std::string(name));
  return true;
}

Options parse_options(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--help" || name == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (name == "--no-gzip") {
      options.gzip = false;
      continue;
    }
    if (name.empty() || name[0] != '-') {
      if (!options.output.empty()) usage_exit("more than one output file");
      options.output = argv[i];
      continue;
    }
    if (i + 1 >= argc) usage_exit("missing value for " + std::string(name));
    const char* value = argv[++i];
    if (!parse_value(name, value, options)) {
      usage_exit("invalid value '" + std::string(value) + "' for " + std::string(name));
    }
  }
  if (options.output.empty()) usage_exit("no output file given");
  if (!(options.duration > 0)) usage_exit("the duration must be > 0");
  if (!(options.burst_rate >= 0 && options.burst_size >= 0 && options.background_donor >= 0 &&
        options.background_acceptor >= 0 && options.marker_rate >= 0)) {
    usage_exit("rates and burst sizes must be >= 0");
  }
  if (!(options.transit_ms > 0 && options.step_us > 0 && options.unit > 0 &&
        options.tcspc_unit > 0 && options.lifetime_ns > 0)) {
    usage_exit("transit time, step, units and lifetime must be > 0");
  }
  if (!(options.diffusion >= 0)) usage_exit("the diffusion coefficient must be >= 0");
  if (!(options.radius > 0)) usage_exit("the Foerster radius must be > 0");
  if (!(options.rmin < options.rmax)) usage_exit("--rmin must be below --rmax");
  if (options.model.confined() && options.walls_given) {
    usage_exit("--rmin and --rmax are the walls of --model free");
  }
  if (!(options.donor_only >= 0 && options.acceptor_only >= 0 &&
        options.donor_only + options.acceptor_only <= 1)) {
    usage_exit("--donor-only and --acceptor-only must be >= 0 and sum to at most 1");
  }
  if (!(options.gamma > 0 && options.beta > 0 && options.leakage >= 0 && options.dir_ex >= 0 &&
        std::isfinite(options.gamma) && std::isfinite(options.beta) &&
        std::isfinite(options.leakage) && std::isfinite(options.dir_ex))) {
    usage_exit("--gamma and --beta must be > 0, --leakage and --dir-ex >= 0");
  }
  if (options.excitation == Excitation::kSmFret &&
      (options.acceptor_only > 0 || options.dir_ex != 0 || options.beta != 1)) {
    usage_exit(
        "--acceptor-only, --dir-ex and --beta need acceptor excitation (--type usALEX or "
        "nsALEX)");
  }
  if (options.alex_period <= 0) usage_exit("the ALEX period must be > 0");
  if (options.tcspc_bins < 2) usage_exit("--tcspc-bins must be >= 2");
  if (options.duration / options.unit > 9e18) usage_exit("the duration spans too many ticks");
  std::sort(options.spots.begin(), options.spots.end());
  if (std::adjacent_find(options.spots.begin(), options.spots.end()) != options.spots.end() ||
      (!options.spots.empty() && options.spots.front() < 0)) {
    usage_exit("spot numbers must be distinct and >= 0");
  }
  if (options.bursts.empty()) {
    options.bursts =
        (std::filesystem::path(options.output).replace_extension(".bursts.csv")).string();
  }
  return options;
}

// One Brownian-dynamics step of the dye-to-dye distance r (nm) over dt
// (µs): the drift (nm/µs, D/kT times the force of a potential; zero for free
// diffusion) plus a Gaussian displacement of variance 2 D dt, folded back
// into [lower, upper] by the reflecting walls.  D is in nm^2/µs.
double step_distance(double r, double dt, double diffusion, double drift, double lower,
                     double upper, RandomSource& random) {
  r += drift * dt + std::sqrt(2.0 * diffusion * dt) * random.normal();
  return reflect(r, lower, upper);
}

struct Photon {
  std::int64_t tick;
  std::uint64_t order;  // generation order: makes the sort independent of the algorithm
  std::int64_t detector;
  std::int64_t nanotime;
};

enum class Population { kFret, kDonorOnly, kAcceptorOnly };

const char* population_name(Population population) {
  switch (population) {
    case Population::kDonorOnly:
      return "donor-only";
    case Population::kAcceptorOnly:
      return "acceptor-only";
    case Population::kFret:
      break;
  }
  return "FRET";
}

struct TrueBurst {
  double start_s;
  double stop_s;
  std::int64_t photons;
  Population population;
};

// Photons per unit of brightness of each stream (see the top of the file).
struct StreamRates {
  double donor_dd = 0;     // donor laser, donor channel
  double donor_da = 0;     // donor laser, acceptor channel
  double acceptor_aa = 0;  // acceptor laser, acceptor channel
};

struct TrajectoryPoint {
  std::size_t burst;  // index into the spot's bursts
  double time_s;
  double distance_nm;
};

struct SpotData {
  std::vector<Photon> photons;
  std::vector<TrueBurst> bursts;
  std::vector<TrajectoryPoint> trajectory;
};

class SpotSimulator {
 public:
  SpotSimulator(const Options& options, std::uint64_t seed)
      : options_(options), walk_(options.model, options.rmin, options.rmax), random_(seed) {}

  SpotData run() {
    simulate_bursts();
    add_background(options_.donor_ids, options_.background_donor);
    add_background(options_.acceptor_ids, options_.background_acceptor);
    if (options_.marker_id) add_background({*options_.marker_id}, options_.marker_rate);
    std::sort(data_.photons.begin(), data_.photons.end(), [](const Photon& a, const Photon& b) {
      return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    return std::move(data_);
  }

 private:
  std::int64_t tick_of(double seconds) const {
    return static_cast<std::int64_t>(std::floor(seconds / options_.unit));
  }

  bool donor_laser_on(std::int64_t tick) const {
    std::int64_t phase = (tick - options_.alex_offset) % options_.alex_period;
    if (phase < 0) phase += options_.alex_period;
    const auto [start, stop] = options_.donor_window;
    return start <= stop ? phase >= start && phase < stop : phase >= start || phase < stop;
  }

  std::int64_t pick(const std::vector<std::int64_t>& ids) {
    const std::size_t index =
        static_cast<std::size_t>(random_.uniform() * static_cast<double>(ids.size()));
    return ids[std::min(index, ids.size() - 1)];
  }

  // A TCSPC bin in the donor (first) or acceptor (second) half of the range:
  // an exponential decay from the start of that pulse's half.
  std::int64_t nanotime_after_pulse(bool donor_pulse) {
    const std::int64_t half = options_.tcspc_bins / 2;
    const double lifetime_bins = options_.lifetime_ns * 1e-9 / options_.tcspc_unit;
    while (true) {
      const double delay = -std::log(1.0 - random_.uniform()) * lifetime_bins;
      if (delay < static_cast<double>(half)) {
        return (donor_pulse ? 0 : half) + static_cast<std::int64_t>(delay);
      }
    }
  }

  // Poisson-distributed count: unit-rate arrivals within `mean`.
  std::int64_t poisson(double mean) {
    std::int64_t count = 0;
    for (double t = random_.exponential(1.0); t < mean; t += random_.exponential(1.0)) ++count;
    return count;
  }

  void add_photon(std::int64_t tick, std::int64_t detector, std::int64_t nanotime) {
    data_.photons.push_back({tick, order_++, detector, nanotime});
  }

  // Of the donor laser's time, the share it is on.
  double donor_share() const {
    if (options_.excitation != Excitation::kUsAlex) return 0.5;
    const auto [start, stop] = options_.donor_window;
    const std::int64_t on = start <= stop ? stop - start : options_.alex_period - start + stop;
    return static_cast<double>(on) / static_cast<double>(options_.alex_period);
  }

  // Direct excitation per unit of brightness under the donor laser: delta
  // acceptor photons per photon under the acceptor laser, over the whole
  // alternation.
  double direct_rate() const {
    if (options_.excitation == Excitation::kSmFret) return 0;
    const double donor = donor_share();
    return options_.dir_ex * options_.beta * options_.gamma * (1 - donor) / donor;
  }

  StreamRates stream_rates(Population population, double r) const {
    const double ratio = r / options_.radius;
    const double ratio3 = ratio * ratio * ratio;
    const double e = population == Population::kFret ? 1.0 / (1.0 + ratio3 * ratio3) : 0.0;
    StreamRates rates;
    const double acceptor_excitation = options_.beta * options_.gamma;
    switch (population) {
      case Population::kFret:
        rates.donor_dd = 1 - e;
        rates.donor_da = options_.leakage * (1 - e) + options_.gamma * e + direct_rate();
        rates.acceptor_aa = acceptor_excitation;
        break;
      case Population::kDonorOnly:
        rates.donor_dd = 1;
        rates.donor_da = options_.leakage;
        break;
      case Population::kAcceptorOnly:
        rates.donor_da = direct_rate();
        rates.acceptor_aa = acceptor_excitation;
        break;
    }
    return rates;
  }

  // The largest photon rate of any stream mix, any population, any r.
  double largest_rate() const {
    const double donor_laser = std::max(1 + options_.leakage, options_.gamma) + direct_rate();
    return std::max(donor_laser, options_.beta * options_.gamma);
  }

  Population draw_population() {
    if (!options_.single_colours()) return Population::kFret;
    const double u = random_.uniform();
    if (u < options_.donor_only) return Population::kDonorOnly;
    if (u < options_.donor_only + options_.acceptor_only) return Population::kAcceptorOnly;
    return Population::kFret;
  }

  void simulate_bursts() {
    if (options_.burst_rate <= 0) return;
    const double sigma = options_.transit_ms * 1e-3 / 4.0;
    // Crossings draw their photons at the largest rate and keep each with
    // its stream's share (a perfect setup keeps every one).
    const double candidates = options_.stream_rates() ? largest_rate() : 1.0;
    const double diffusion = options_.diffusion * 0.01;  // nm^2/µs
    std::vector<double> times;
    for (double centre = random_.exponential(options_.burst_rate); centre < options_.duration;
         centre += random_.exponential(options_.burst_rate)) {
      const Population population = draw_population();
      const double expected = options_.burst_size * (0.5 + random_.uniform()) * candidates;
      const std::int64_t count = poisson(expected);
      times.clear();
      for (std::int64_t i = 0; i < count; ++i) {
        const double t = centre + sigma * random_.normal();
        if (t >= 0 && t < options_.duration) times.push_back(t);
      }
      if (times.empty()) continue;
      std::sort(times.begin(), times.end());

      // A tenth of the photon spacing at the profile's peak at most.
      const double peak_rate_per_us = expected / (sigma * 1e6 * std::sqrt(2.0 * std::numbers::pi));
      const DistanceWalk& model = walk_;
      double step = std::min(options_.step_us, 0.1 / peak_rate_per_us);
      if (!model.flat() && diffusion > 0) {
        // Displacements of a twentieth of P_eq's spread: the drift hardly
        // changes within a step.
        const double length = model.spread() / 20.0;
        step = std::min(step, length * length / (2.0 * diffusion));
      }
      // A box is the same walk as free diffusion, between its own walls.
      double r = model.draw(random_);
      const std::size_t burst = data_.bursts.size();
      double previous = times.front();
      double first = 0;
      double last = 0;
      std::int64_t emitted = 0;
      for (const double t : times) {
        // Walk from the previous photon to this one in equal steps.
        const double span_us = (t - previous) * 1e6;
        const long steps = static_cast<long>(std::ceil(span_us / step));
        const double dt = span_us / static_cast<double>(steps);
        for (long s = 0; s < steps; ++s) {
          r = model.flat()
                  ? step_distance(r, dt, diffusion, 0.0, model.lower(), model.upper(), random_)
                  : step_in_potential(r, dt, diffusion, model, random_);
        }
        previous = t;
        const bool kept = options_.stream_rates()
                              ? emit_stream_photon(tick_of(t), r, population, candidates)
                              : (emit_burst_photon(tick_of(t), r), true);
        if (!kept) continue;
        if (emitted == 0) first = t;
        last = t;
        ++emitted;
        if (!options_.trajectory.empty()) data_.trajectory.push_back({burst, t, r});
      }
      if (emitted == 0) continue;
      data_.bursts.push_back({static_cast<double>(tick_of(first)) * options_.unit,
                              static_cast<double>(tick_of(last)) * options_.unit, emitted,
                              population});
    }
  }

  bool donor_excited(std::int64_t tick) {
    if (options_.excitation == Excitation::kUsAlex) return donor_laser_on(tick);
    if (options_.excitation == Excitation::kNsAlex) return random_.uniform() < 0.5;
    return true;
  }

  void emit_burst_photon(std::int64_t tick, double r) {
    const bool donor_laser = donor_excited(tick);
    bool acceptor = !donor_laser;
    if (donor_laser) {
      const double ratio = r / options_.radius;
      const double ratio3 = ratio * ratio * ratio;
      acceptor = random_.uniform() < 1.0 / (1.0 + ratio3 * ratio3);
    }
    add_burst_photon(tick, donor_laser, acceptor);
  }

  // A photon drawn at `candidates` per unit of brightness, kept with its
  // stream's share of that rate; false when it is not kept.
  bool emit_stream_photon(std::int64_t tick, double r, Population population, double candidates) {
    const bool donor_laser = donor_excited(tick);
    const StreamRates rates = stream_rates(population, r);
    const double total = donor_laser ? rates.donor_dd + rates.donor_da : rates.acceptor_aa;
    const double u = random_.uniform() * candidates;
    if (!(u < total)) return false;
    // u is uniform on [0, total) now: the channel by the rates' shares.
    const bool acceptor = !donor_laser || u >= rates.donor_dd;
    add_burst_photon(tick, donor_laser, acceptor);
    return true;
  }

  void add_burst_photon(std::int64_t tick, bool donor_laser, bool acceptor) {
    const std::int64_t detector = pick(acceptor ? options_.acceptor_ids : options_.donor_ids);
    const std::int64_t nanotime =
        options_.excitation == Excitation::kNsAlex ? nanotime_after_pulse(donor_laser) : 0;
    add_photon(tick, detector, nanotime);
  }

  void add_background(const std::vector<std::int64_t>& ids, double rate) {
    if (rate <= 0 || ids.empty()) return;
    for (double t = random_.exponential(rate); t < options_.duration;
         t += random_.exponential(rate)) {
      const std::int64_t nanotime =
          options_.excitation == Excitation::kNsAlex
              ? static_cast<std::int64_t>(random_.uniform() *
                                          static_cast<double>(options_.tcspc_bins))
              : 0;
      add_photon(tick_of(t), pick(ids), nanotime);
    }
  }

  const Options& options_;
  DistanceWalk walk_;
  RandomSource random_;
  SpotData data_;
  std::uint64_t order_ = 0;
};

const char* measurement_type(Excitation excitation) {
  switch (excitation) {
    case Excitation::kUsAlex:
      return "smFRET-usALEX";
    case Excitation::kNsAlex:
      return "smFRET-nsALEX";
    case Excitation::kSmFret:
      break;
  }
  return "smFRET";
}

void write_spot(const h5::File& file, const std::string& group, const Options& options,
                const SpotData& spot) {
  std::vector<std::int64_t> values(spot.photons.size());
  h5::Compression compression;
  compression.gzip = options.gzip;
  auto column = [&](std::int64_t Photon::*field) {
    for (std::size_t i = 0; i < spot.photons.size(); ++i) values[i] = spot.photons[i].*field;
    return std::span<const std::int64_t>(values);
  };
  h5::write_integers(file, group + "/timestamps", column(&Photon::tick), options.timestamp_type,
                     compression);
  h5::write_integers(file, group + "/detectors", column(&Photon::detector), options.detector_type,
                     compression);
  h5::write_number(file, group + "/timestamps_specs/timestamps_unit", options.unit);

  const std::string settings = group + "/measurement_specs";
  h5::write_text(file, settings + "/measurement_type", measurement_type(options.excitation),
                 options.strings);
  if (options.excitation == Excitation::kUsAlex) {
    const auto [start, stop] = options.donor_window;
    h5::write_integer(file, settings + "/alex_period", options.alex_period);
    h5::write_integer(file, settings + "/alex_offset", options.alex_offset);
    const std::int64_t donor[] = {start, stop};
    const std::int64_t acceptor[] = {stop, start};
    h5::write_integers(file, settings + "/alex_excitation_period1", donor);
    h5::write_integers(file, settings + "/alex_excitation_period2", acceptor);
  }
  if (options.excitation == Excitation::kNsAlex) {
    h5::write_integers(file, group + "/nanotimes", column(&Photon::nanotime),
                       h5::IntegerType::kUInt16, compression);
    const double range = static_cast<double>(options.tcspc_bins) * options.tcspc_unit;
    h5::write_number(file, group + "/nanotimes_specs/tcspc_unit", options.tcspc_unit);
    h5::write_integer(file, group + "/nanotimes_specs/tcspc_num_bins", options.tcspc_bins);
    h5::write_number(file, group + "/nanotimes_specs/tcspc_range", range);
    h5::write_number(file, settings + "/laser_repetition_rate", 1.0 / range);
    const std::int64_t half = options.tcspc_bins / 2;
    const std::int64_t donor[] = {0, half};
    const std::int64_t acceptor[] = {half, options.tcspc_bins};
    h5::write_integers(file, settings + "/alex_excitation_period1", donor);
    h5::write_integers(file, settings + "/alex_excitation_period2", acceptor);
  }
  // phconvert stores the channel ids in the detectors' type.
  const std::string channels = settings + "/detectors_specs";
  h5::write_integers(file, channels + "/spectral_ch1", options.donor_ids, options.detector_type);
  h5::write_integers(file, channels + "/spectral_ch2", options.acceptor_ids, options.detector_type);
  if (options.donor_ids.size() == 2 && options.acceptor_ids.size() == 2) {
    const std::int64_t first[] = {options.donor_ids[0], options.acceptor_ids[0]};
    const std::int64_t second[] = {options.donor_ids[1], options.acceptor_ids[1]};
    h5::write_integers(file, channels + "/polarization_ch1", first, options.detector_type);
    h5::write_integers(file, channels + "/polarization_ch2", second, options.detector_type);
  }
}

void write_setup(const h5::File& file, const Options& options) {
  std::vector<std::int64_t> ids = options.donor_ids;
  ids.insert(ids.end(), options.acceptor_ids.begin(), options.acceptor_ids.end());
  if (options.marker_id) ids.push_back(*options.marker_id);
  const bool alternated = options.excitation != Excitation::kSmFret;
  const bool lifetime = options.excitation == Excitation::kNsAlex;
  const bool polarised = options.donor_ids.size() == 2 && options.acceptor_ids.size() == 2;
  h5::write_integer(file, "/setup/num_pixels", static_cast<std::int64_t>(ids.size()));
  h5::write_integer(file, "/setup/num_spots",
                    std::max<std::int64_t>(1, static_cast<std::int64_t>(options.spots.size())));
  h5::write_integer(file, "/setup/num_spectral_ch", 2);
  h5::write_integer(file, "/setup/num_polarization_ch", polarised ? 2 : 1);
  h5::write_integer(file, "/setup/num_split_ch", 1);
  h5::write_integer(file, "/setup/modulated_excitation", alternated ? 1 : 0);
  h5::write_integer(file, "/setup/lifetime", lifetime ? 1 : 0);
  std::vector<double> excitation = {532e-9};
  if (alternated) excitation.push_back(635e-9);
  h5::write_numbers(file, "/setup/excitation_wavelengths", excitation);
  const std::vector<std::int64_t> continuous(excitation.size(), lifetime ? 0 : 1);
  h5::write_integers(file, "/setup/excitation_cw", continuous);
  const std::vector<std::int64_t> alternation(excitation.size(), alternated ? 1 : 0);
  h5::write_integers(file, "/setup/excitation_alternated", alternation);
  const double detection[] = {580e-9, 680e-9};
  h5::write_numbers(file, "/setup/detection_wavelengths", detection);
  h5::write_integers(file, "/setup/detectors/id", ids, options.detector_type);
}

void write_identity(const h5::File& file, const Options& options) {
  auto text = [&](const std::string& path, const std::string& value) {
    h5::write_text(file, path, value, options.strings);
  };
  text("/identity/format_name", "Photon-HDF5");
  text("/identity/format_version", "0.5");
  text("/identity/format_url", "http://photon-hdf5.org/");
  text("/identity/software", "Pelmora simulate_measurement");
  text("/identity/software_version", "1.0");
  text("/identity/filename", std::filesystem::path(options.output).filename().string());
  if (!options.creation_time.empty()) text("/identity/creation_time", options.creation_time);
  text("/identity/author", "Pelmora simulate_measurement");
}

void write_measurement(const Options& options, const std::vector<SpotData>& spots) {
  h5::File file = h5::File::create(options.output);
  h5::write_text_attribute(file, "/", "format_name", "Photon-HDF5", options.strings);
  h5::write_text_attribute(file, "/", "format_version", "0.5", options.strings);
  h5::write_text_attribute(file, "/", "format_url", "http://photon-hdf5.org/", options.strings);
  char description[512];
  if (!options.model.confined()) {
    std::snprintf(description, sizeof description,
                  "Simulated %s measurement: %g bursts/s of %g photons, D = %g x 1e-14 m^2/s, "
                  "r in [%g, %g] nm, R0 = %g nm, seed %llu",
                  measurement_type(options.excitation), options.burst_rate, options.burst_size,
                  options.diffusion, options.rmin, options.rmax, options.radius,
                  static_cast<unsigned long long>(options.seed));
  } else {
    std::snprintf(description, sizeof description,
                  "Simulated %s measurement: %g bursts/s of %g photons, D = %g x 1e-14 m^2/s, "
                  "distance model %s, R0 = %g nm, seed %llu",
                  measurement_type(options.excitation), options.burst_rate, options.burst_size,
                  options.diffusion, options.model.text.c_str(), options.radius,
                  static_cast<unsigned long long>(options.seed));
  }
  h5::write_text(file, "/description", description, options.strings);
  h5::write_number(file, "/acquisition_duration", options.duration);
  if (options.spots.empty()) {
    write_spot(file, "/photon_data", options, spots.front());
  } else {
    for (std::size_t i = 0; i < spots.size(); ++i) {
      write_spot(file, "/photon_data" + std::to_string(options.spots[i]), options, spots[i]);
    }
  }
  write_setup(file, options);
  write_identity(file, options);
  file.close();
}

bool write_truth(const Options& options, const std::vector<SpotData>& spots) {
  const bool multi = !options.spots.empty();
  std::FILE* bursts = std::fopen(options.bursts.c_str(), "w");
  if (bursts == nullptr) return false;
  const bool populations = options.single_colours();
  std::fprintf(bursts, "burst,t_start_s,t_stop_s,photons%s%s\n", populations ? ",population" : "",
               multi ? ",spot" : "");
  std::FILE* trajectory = nullptr;
  if (!options.trajectory.empty()) {
    trajectory = std::fopen(options.trajectory.c_str(), "w");
    if (trajectory == nullptr) {
      std::fclose(bursts);
      return false;
    }
    std::fputs(multi ? "burst,t_s,distance_nm,spot\n" : "burst,t_s,distance_nm\n", trajectory);
  }
  std::size_t first_of_spot = 0;
  for (std::size_t s = 0; s < spots.size(); ++s) {
    const std::string spot = multi ? "," + std::to_string(options.spots[s]) : "";
    for (std::size_t b = 0; b < spots[s].bursts.size(); ++b) {
      const TrueBurst& burst = spots[s].bursts[b];
      const std::string population =
          populations ? std::string(",") + population_name(burst.population) : "";
      std::fprintf(bursts, "%zu,%.9f,%.9f,%lld%s%s\n", first_of_spot + b + 1, burst.start_s,
                   burst.stop_s, static_cast<long long>(burst.photons), population.c_str(),
                   spot.c_str());
    }
    if (trajectory != nullptr) {
      for (const TrajectoryPoint& point : spots[s].trajectory) {
        std::fprintf(trajectory, "%zu,%.9f,%.4f%s\n", first_of_spot + point.burst + 1, point.time_s,
                     point.distance_nm, spot.c_str());
      }
    }
    first_of_spot += spots[s].bursts.size();
  }
  bool ok = std::ferror(bursts) == 0;
  ok = std::fclose(bursts) == 0 && ok;
  if (trajectory != nullptr) {
    ok = std::ferror(trajectory) == 0 && ok;
    ok = std::fclose(trajectory) == 0 && ok;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse_options(argc, argv);
  std::vector<SpotData> spots;
  const std::size_t count = std::max<std::size_t>(1, options.spots.size());
  for (std::size_t i = 0; i < count; ++i) {
    // Each spot draws from its own stream, so that adding spots leaves the
    // first one as it was.
    spots.push_back(SpotSimulator(options, options.seed + 0x9E3779B97F4A7C15ULL * i).run());
  }
  try {
    write_measurement(options, spots);
  } catch (const pelmora::Error& error) {
    std::fprintf(stderr, "simulate_measurement:%s", error.message().c_str());
    return 1;
  }
  if (!write_truth(options, spots)) {
    std::fprintf(stderr, "simulate_measurement: could not write %s\n", options.bursts.c_str());
    return 1;
  }
  return 0;
}
