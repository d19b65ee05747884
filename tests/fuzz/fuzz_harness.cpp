#include "fuzz_harness.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "cli/time_bins.h"
#include "findings.h"
#include "input/photon_parser.h"
#include "state/photon_list.h"
#include "state/text_format.h"

namespace pelmora::fuzzing {

namespace {

bool starts_with(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

void check_settings(const RunSettings& s, Findings& f) {
  f.check(std::isfinite(s.foerster_radius) && s.foerster_radius > 0, "radius not finite and > 0");
  f.check(std::isfinite(s.min_distance) && std::isfinite(s.max_distance),
          "distance range not finite");
  f.check(s.distance_bins >= 50 && s.distance_bins <= 19999, "distance bins out of range");
  f.check(name_given(s.infile) && name_given(s.outfile), "file name slot left empty");
  f.check(s.infile.size() <= kMaxFileNameLength && s.outfile.size() <= kMaxFileNameLength &&
              s.traj_file.size() <= kMaxFileNameLength,
          "file name longer than a slot holds");
  if (s.scan_mode) {
    f.check(s.runs >= 3 && s.runs <= 999, "runs out of range in scan mode");
    f.check(std::isfinite(s.min_coeff) && std::isfinite(s.max_coeff) && s.min_coeff > 0 &&
                s.min_coeff < s.max_coeff,
            "coefficient range not 0 < min < max");
    f.check(!s.xmgr_output && !s.write_trajectory, "trajectory output in scan mode");
  } else {
    f.check(std::isfinite(s.diff_coeff) && s.diff_coeff > 0, "coefficient not finite and > 0");
    f.check(!(s.eps_output && s.short_format), "short and postscript format together");
    f.check(!s.xmgr_output || s.write_trajectory, "xmgr output without a trajectory file");
    f.check(s.write_trajectory == name_given(s.traj_file), "trajectory flag disagrees with name");
    f.check(std::isfinite(s.time_increment), "time increment not finite");
  }
}

}  // namespace

std::string exercise_command_line(std::span<const std::uint8_t> input) {
  std::vector<std::string_view> arguments;
  const char* const text = reinterpret_cast<const char*>(input.data());
  std::size_t start = 0;
  for (std::size_t i = 0; i <= input.size(); ++i) {
    if (i == input.size() || text[i] == '\0') {
      if (i > start || i < input.size()) arguments.emplace_back(text + start, i - start);
      start = i + 1;
    }
  }

  const CommandLineOutcome outcome = interpret_arguments(arguments);
  Findings f;
  for (const std::string& warning : outcome.warnings) {
    f.check(starts_with(warning, "\n\nWARNING: "), "warning without its heading");
  }
  if (outcome.error) {
    f.check(outcome.error->show_usage || is_sentence(outcome.error->message),
            "error that is not a plain sentence");
    return f.text();
  }
  check_settings(outcome.settings, f);
  if (!outcome.settings.scan_mode) {
    // The count of time slices is settled once the photon span is known.
    for (const auto& [first, last] : {std::pair{0.0, 1000.0}, std::pair{-5.0, 3.4e9}}) {
      const TimeBinsOutcome bins = settle_time_bins(outcome.settings.time_bins,
                                                    outcome.settings.time_increment, first, last);
      if (bins.error) {
        f.check(is_sentence(*bins.error), "time-bin error that is not a plain sentence");
      } else {
        f.check(bins.time_bins >= 4 && bins.time_bins < 100000, "time bins out of range");
      }
    }
  }
  return f.text();
}

namespace {

struct Parsed {
  int capacity = kPhotonCapacity;
  PhotonList photons;
  std::vector<std::string> warnings;
  std::optional<PhotonReadError> error;
};

// Feeds the text the way the reader feeds a file: block after block while
// the parser wants input, then the end of the file.
void parse_in_blocks(std::string_view text, std::uint64_t seed, Parsed& out) {
  PhotonParser parser(out.photons, out.capacity);
  std::size_t offset = 0;
  while (parser.wants_input()) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    // Mostly tiny blocks, now and then an empty or a large one.
    const std::size_t wanted = (seed >> 60) < 2 ? 0 : (seed >> 33) % ((seed >> 62) ? 7 : 300);
    const std::size_t length = std::min(wanted, text.size() - offset);
    parser.feed(text.substr(offset, length));
    offset += length;
    if (offset == text.size() && parser.wants_input()) parser.finish();
    for (std::string& warning : parser.take_warnings()) out.warnings.push_back(std::move(warning));
  }
  out.error = parser.error();
  if (!out.error) out.error = check_photon_count(out.photons);
}

void check_list(const Parsed& p, Findings& f) {
  const PhotonList& list = p.photons;
  const bool over_capacity = p.error && p.error->kind == PhotonErrorKind::kTooManyPhotons;
  // The photon one past the capacity is stored before the run is stopped.
  f.check(list.photon_count >= 0 && list.photon_count <= p.capacity + (over_capacity ? 1 : 0),
          "photon count beyond capacity");
  f.check(!over_capacity || list.photon_count == p.capacity + 1,
          "capacity error before the capacity was exceeded");
  f.check(list.donor_count + list.acceptor_count == list.photon_count,
          "donors and acceptors do not add up to the count");
  int donors = 0;
  for (int i = 0; i < list.photon_count; ++i) {
    const int type = list.photon_types[static_cast<std::size_t>(i)];
    f.check(type == kDonorPhoton || type == kAcceptorPhoton, "photon type neither 1 nor 2");
    donors += type == kDonorPhoton ? 1 : 0;
    const std::size_t k = static_cast<std::size_t>(i);
    f.check(std::isfinite(list.photon_times[k]), "photon time not finite");
    if (i > 0) f.check(list.photon_times[k - 1] <= list.photon_times[k], "photon times decrease");
  }
  f.check(donors == list.donor_count, "donor count disagrees with the types");
  for (const std::string& warning : p.warnings) {
    f.check(is_sentence(warning), "warning that is not a plain sentence");
  }
  if (p.error) {
    f.check(is_sentence(p.error->message), "error that is not a plain sentence");
    // A refused text is quoted in part, so that garbage cannot flood the console.
    f.check(p.error->message.size() < 256, "error message longer than a few lines");
  } else {
    f.check(list.photon_count >= 3, "fewer than three photons accepted");
    if (list.photon_count > 0) {
      f.check(list.start_time == list.photon_times[0] && list.end_time == list.photon_times.back(),
              "start or end time is not the first or last photon");
    }
  }
}

bool same_outcome(const Parsed& a, const Parsed& b) {
  if (a.warnings != b.warnings || a.error.has_value() != b.error.has_value()) return false;
  if (a.error && (a.error->kind != b.error->kind || a.error->message != b.error->message ||
                  a.error->record != b.error->record)) {
    return false;
  }
  const PhotonList& x = a.photons;
  const PhotonList& y = b.photons;
  if (x.photon_count != y.photon_count || x.donor_count != y.donor_count ||
      x.acceptor_count != y.acceptor_count) {
    return false;
  }
  // No memcmp of an empty list: its data() may be a null pointer.
  const auto count = static_cast<std::size_t>(x.photon_count);
  return (count == 0 ||
          std::memcmp(x.photon_times.data(), y.photon_times.data(), count * sizeof(double)) == 0) &&
         x.photon_types == y.photon_types;
}

}  // namespace

std::string exercise_photon_parser(std::span<const std::uint8_t> input) {
  const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());

  // A hash of the input picks the block sizes and a small capacity, so that
  // the capacity check is within reach and each input costs little.
  std::uint64_t seed = 1469598103934665603u;  // FNV-1a
  for (const std::uint8_t byte : input) seed = (seed ^ byte) * 1099511628211u;
  const int capacity = 3 + static_cast<int>(seed % 61);

  Parsed whole;
  whole.capacity = capacity;
  const PhotonParseOutcome outcome = parse_photon_text(text, whole.photons, capacity);
  whole.warnings = outcome.warnings;
  whole.error = outcome.error;

  Parsed blocks;
  blocks.capacity = capacity;
  parse_in_blocks(text, seed, blocks);

  Findings f;
  check_list(whole, f);
  f.check(same_outcome(whole, blocks),
          "parsing in blocks gives another outcome than parsing whole");
  return f.text();
}

}  // namespace pelmora::fuzzing
