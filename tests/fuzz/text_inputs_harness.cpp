// The fuzz work of the text inputs of pelmora-bursts: burst tables,
// potential tables, shares of a scan and the --model and --background
// texts.
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "base/error.h"
#include "bursts/background_choice.h"
#include "bursts/burst_table.h"
#include "bursts/share_file.h"
#include "findings.h"
#include "fuzz_harness.h"
#include "input/bounded_text.h"
#include "input/distance_model_text.h"

namespace pelmora::fuzzing {

namespace {

using Stream = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The input as a stream, as a reader of files gets it.
Stream stream_of(std::span<const std::uint8_t> input) {
  if (input.empty()) return Stream(std::fopen("/dev/null", "r"), &std::fclose);
  return Stream(fmemopen(const_cast<std::uint8_t*>(input.data()), input.size(), "r"), &std::fclose);
}

// A refusal names what it refuses in a sentence of bounded length, and
// quotes nothing of the input unmade safe.
void check_refusal(const Error& error, std::string_view start, Findings& f) {
  const std::string& message = error.message();
  f.check(error.kind() == ErrorKind::kInput, "a refusal of another kind than kInput");
  f.check(is_sentence(message), "a refusal that is not a plain sentence");
  f.check(message.compare(0, start.size(), start) == 0, "a refusal that does not name the file");
  f.check(is_printable(message), "a refusal with bytes that are not printable");
  f.check(message.size() < 512, "a refusal longer than a few lines");
}

void check_bursts(const std::vector<BurstWindow>& bursts, Findings& f) {
  f.check(!bursts.empty(), "a table without bursts accepted");
  for (std::size_t b = 0; b < bursts.size(); ++b) {
    const BurstWindow& w = bursts[b];
    f.check(std::isfinite(w.t_start_s) && std::isfinite(w.t_stop_s), "a time not finite");
    f.check(w.t_start_s <= w.t_stop_s, "a burst that stops before it starts");
    if (b > 0) f.check(w.t_start_s > bursts[b - 1].t_stop_s, "bursts that overlap or go back");
  }
}

}  // namespace

std::string exercise_burst_table(std::span<const std::uint8_t> input) {
  const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
  Findings f;
  std::optional<std::vector<BurstWindow>> whole;
  std::string whole_refusal;
  try {
    whole = parse_burst_table(text, "bursts.csv");
    check_bursts(*whole, f);
  } catch (const Error& error) {
    check_refusal(error, "Burst table bursts.csv, line ", f);
    whole_refusal = error.message();
  }

  // Line by line within bounds small enough to be reached: the same bursts
  // or the same refusal, unless a bound stopped the reading first.
  const TextBounds bounds{64, 48};
  const Stream stream = stream_of(input);
  BoundedTextReader reader(stream.get(), "bursts.csv", "Burst table", bounds);
  try {
    const std::vector<BurstWindow> read = read_burst_table(reader);
    f.check(whole.has_value(), "read line by line, a table that parsing whole refuses");
    if (whole) {
      bool same = whole->size() == read.size();
      for (std::size_t b = 0; same && b < read.size(); ++b) {
        same = read[b].number == (*whole)[b].number && read[b].t_start_s == (*whole)[b].t_start_s &&
               read[b].t_stop_s == (*whole)[b].t_stop_s;
      }
      f.check(same, "read line by line, other bursts than parsed whole");
    }
  } catch (const Error& error) {
    check_refusal(error, "Burst table bursts.csv, line ", f);
    const bool bound = error.message().find("more than such a file may hold") != std::string::npos;
    f.check(bound || error.message() == whole_refusal,
            "read line by line, another refusal than parsed whole");
  }
  return f.text();
}

std::string exercise_pmf_table(std::span<const std::uint8_t> input) {
  Findings f;
  const Stream stream = stream_of(input);
  BoundedTextReader reader(stream.get(), "pmf.txt", "Potential file", TextBounds{256, 4096});
  try {
    const TabulatedDensity table = read_potential_table(reader);
    const std::vector<double>& r = table.r;
    const std::vector<double>& p = table.density;
    f.check(r.size() == p.size() && r.size() >= 3, "a table of fewer than 3 points accepted");
    f.check(r.size() <= kMaxPotentialTablePoints, "more points than allowed");
    double largest = 0;
    for (std::size_t i = 0; i < r.size() && i < p.size(); ++i) {
      f.check(std::isfinite(r[i]) && r[i] >= 0, "a distance not finite and >= 0");
      f.check(std::isfinite(p[i]) && p[i] >= 0, "a density not finite and >= 0");
      if (i > 0) f.check(r[i] > r[i - 1], "distances that do not increase");
      if (p[i] > largest) largest = p[i];
    }
    f.check(largest > 0, "densities that are all zero accepted");
  } catch (const Error& error) {
    check_refusal(error, "Potential file pmf.txt", f);
  }
  return f.text();
}

std::string exercise_share(std::span<const std::uint8_t> input) {
  const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
  Findings f;
  try {
    const ShareFile file = parse_share(text, "s.csv");
    const MeasurementScan& scan = file.scan;
    const std::size_t cells = scan.values() * scan.runs();
    f.check(scan.share.has_value(), "a share accepted without its place among the shares");
    for (const ScannedBurst& burst : scan.bursts) {
      f.check(burst.left_out.empty() == !burst.log_likelihood.empty(),
              "a burst analysed without log L, or left out with log L");
      f.check(burst.log_likelihood.empty() || burst.log_likelihood.size() == cells,
              "a burst with log L at some cells only");
      for (const double value : burst.log_likelihood) {
        f.check(std::isfinite(value), "a log L that is not finite accepted");
      }
    }
    f.check(file.header.data_crc32.has_value() || !file.warnings.empty(),
            "a share without a checksum read without a warning");
    // What was accepted is written and read back the same.
    const ShareFile again = parse_share(share_text(scan, file.header.provenance), "s.csv");
    bool same = again.scan.bursts.size() == scan.bursts.size();
    for (std::size_t b = 0; same && b < scan.bursts.size(); ++b) {
      same = again.scan.bursts[b].left_out == scan.bursts[b].left_out &&
             again.scan.bursts[b].log_likelihood == scan.bursts[b].log_likelihood;
    }
    f.check(same, "an accepted share that does not read back as written");
  } catch (const Error& error) {
    check_refusal(error, "Share s.csv", f);
  }
  return f.text();
}

std::string exercise_model_text(std::span<const std::uint8_t> input) {
  const std::string text(reinterpret_cast<const char*>(input.data()), input.size());
  Findings f;
  // A potential table is read from its file: its own target covers it.
  if (text.compare(0, 4, "pmf:") != 0) {
    try {
      const ModelScan scan = parse_model_scan(text);
      f.check(!scan.models.empty(), "a model scan without models");
      f.check(!scan.scanned() || (scan.parameter_values.size() == scan.models.size() &&
                                  scan.models.size() >= 2 && scan.models.size() <= 1000),
              "a scanned parameter whose values do not match its models");
      for (std::size_t i = 0; i < scan.models.size(); ++i) {
        std::visit(
            Overloaded{
                [](const FreeDiffusion&) {},
                [&](const GaussianChain& chain) {
                  f.check(std::isfinite(chain.rms) && chain.rms > 0,
                          "a chain whose rms is not finite and > 0");
                  if (!scan.scanned()) return;
                  f.check(chain.rms == scan.parameter_values[i], "rms not its value");
                  if (i > 0) f.check(chain.rms > scan.parameter_values[i - 1], "rms decreasing");
                },
                [&](const FlatBox& box) {
                  f.check(std::isfinite(box.lower) && std::isfinite(box.upper) && box.lower >= 0 &&
                              box.lower < box.upper,
                          "box walls not 0 <= A < B");
                },
                [&](const TabulatedDensity&) { f.check(false, "a table model without pmf:"); }},
            scan.models[i].shape);
      }
    } catch (const Error& error) {
      f.check(error.kind() == ErrorKind::kInput, "a model refusal of another kind than kInput");
      f.check(is_sentence(error.message()), "a model refusal that is not a plain sentence");
    }
  }
  try {
    const BackgroundChoice choice = parse_background_choice(text);
    if (choice.mode == BackgroundChoice::Mode::kRates) {
      f.check(std::isfinite(choice.donor_hz) && choice.donor_hz >= 0 &&
                  std::isfinite(choice.acceptor_hz) && choice.acceptor_hz >= 0,
              "background rates not finite and >= 0");
    }
    // The settings line gives the choice back exactly.
    const BackgroundChoice again = parse_background_choice(choice.text());
    f.check(again.mode == choice.mode && again.donor_hz == choice.donor_hz &&
                again.acceptor_hz == choice.acceptor_hz,
            "a background choice that its text does not give back");
  } catch (const Error& error) {
    f.check(error.kind() == ErrorKind::kInput, "a background refusal of another kind than kInput");
    f.check(is_sentence(error.message()), "a background refusal that is not a plain sentence");
  }
  return f.text();
}

}  // namespace pelmora::fuzzing
