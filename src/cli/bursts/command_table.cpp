#include "cli/bursts/command_table.h"

#include <algorithm>

namespace pelmora::bursts_cli {

namespace {

constexpr OptionSpec kMeasurement[] = {
    {"--spot", "N", "the spot of a multi-spot file (default: the first)"},
    {"--type", "TYPE", "smFRET, smFRET-usALEX or smFRET-nsALEX, whatever the file says"},
    {"--alex-period", "TICKS", "the alternation period, in timestamp units"},
    {"--alex-offset", "TICKS", "the alternation offset, in timestamp units"},
    {"--donor-window", "START:STOP", "the donor-excitation period, in timestamp units"},
};

constexpr OptionSpec kSearch[] = {
    {"--m", "M", "photons of the sliding window (10)"},
    {"--F", "F", "minimum burst rate: F times the background rate of all photons (6)"},
    {"--min-rate", "KHZ", "minimum burst rate given in kHz, instead of --F"},
    {"--min-photons", "N", "analysed photons a burst needs (30)"},
    {"--bg-window", "S", "seconds per background estimate (60)"},
    {"--search", "METHOD",
     "apbs: all photons; dcbs: dual-channel, where the donor- and the acceptor-excitation "
     "streams are both in a burst (ALEX only) (apbs)"},
};

constexpr OptionSpec kSelection[] = {
    {"--where", "COLUMN=LO:HI",
     "keep the bursts whose COLUMN (any numeric column of the burst table: S, E, n_aa, "
     "photons_analysed, ...) lies in [LO, HI]; either bound may be empty; repeat to keep those "
     "in every range",
     true},
};

constexpr OptionSpec kCorrections[] = {
    {"--gamma", "G", "acceptor over donor detection efficiency times quantum yield (1)"},
    {"--leakage", "A", "donor photons in the acceptor channel per donor-channel photon (0)"},
    {"--dir-ex", "D",
     "acceptor photons under donor excitation per acceptor-excitation photon (0; ALEX only)"},
    {"--beta", "B", "acceptor- over donor-excitation intensity, for S only (1)"},
};

constexpr OptionSpec kInfo[] = {
    {"--bg-window", "S", "seconds per background estimate (60)"},
};

constexpr OptionSpec kSearchOutput[] = {
    {"-o", "TABLE.csv",
     "the burst table: burst,t_start_s,t_stop_s, photons_window, photons_analysed, the streams "
     "n_dd,n_da,n_aa, the same background-corrected (_corr), E_raw,S_raw,E,S"},
    {"-q", "", "no status lines; warnings still show"},
};

constexpr OptionSpec kExport[] = {
    {"--bursts", "TABLE.csv", "the burst table"},
    {"--burst", "K", "the burst's number in the table"},
    {"-o", "PHOTONS.txt", "the photon file written, for pelmora"},
};

constexpr OptionSpec kAnalysis[] = {
    {"-R", "NM", "Foerster radius (6.5)"},
    {"-min", "NM", "smallest distance of the range (0); free diffusion only"},
    {"-max", "NM", "largest distance of the range (2 R0); free diffusion only"},
    {"-d", "N", "distance points (400); a confined model's support in N cells"},
    {"-Dmin", "D", "smallest D, in 1e-14 m^2/s (0.01)"},
    {"-Dmax", "D", "largest D, in 1e-14 m^2/s (10)"},
    {"-n", "N", "values of D, log-spaced (20)"},
};

constexpr OptionSpec kScan[] = {
    {"--bursts", "TABLE.csv", "the bursts of this table (default: search them)"},
    {"--model", "MODEL",
     "the distance's free energy: free, chain:RMS, chain:FROM:TO:COUNT, box:A:B or pmf:FILE "
     "(free)"},
    {"--background", "B",
     "background mixed into the colours: auto, off or D_HZ,A_HZ (auto with a confined model on "
     "a measurement, else off)"},
    {"--shard", "I/K", "scan share I of K of the bursts; writes its part of --loglik only"},
    {"-q", "", "no progress and status lines; warnings and the estimate still show"},
};

constexpr OptionSpec kOutputs[] = {
    {"--loglik", "FILE.csv", "log L of every burst at every D (and model value)"},
    {"--joint", "FILE.dat", "the joint P(D), in the format of pelmora's P(D) file"},
    {"-o", "FILE.h5", "results.h5: bursts, log L, joint result, estimate, settings"},
    {"--summary", "FILE.json", "the estimate of D and its interval as JSON"},
    {"--grid", "FILE.csv", "the (parameter, D) cells of a scanned model parameter"},
};

constexpr OptionSpec kEstimate[] = {
    {"--bootstrap", "B", "bootstrap resamples of the bursts (1000; 0: no interval)"},
    {"--seed", "N", "seed of the resamples (1)"},
};

constexpr OptionSpec kCorrectionsCommand[] = {
    {"--bursts", "TABLE.csv", "the bursts of this table (default: search them)"},
    {"-o", "FILE.json", "the estimates, their intervals and the options, as JSON"},
    {"--donor-only-s", "S", "bursts with S_raw above S are donor-only (0.9)"},
    {"--acceptor-only-s", "S", "bursts with S_raw below S are acceptor-only (0.2)"},
    {"--leakage", "A",
     "the leakage that direct excitation is corrected for when the donor-only population "
     "gives none (0)"},
    {"--bootstrap", "B", "bootstrap resamples of the bursts (1000)"},
    {"--seed", "N", "seed of the resamples (1)"},
};

constexpr OptionSpec kCombine[] = {
    {"-q", "", "no status lines; warnings and the estimate still show"},
};

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

// The words of `text` on lines of at most 78 columns (a longer word stands
// alone), the first line going on from `column`, the others from `indent`.
std::string wrapped(std::string_view text, std::size_t indent, std::size_t column) {
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(start, end - start);
    if (!out.empty()) {
      if (column + 1 + word.size() > 78) {
        out += "\n" + std::string(indent, ' ');
        column = indent;
      } else {
        out += ' ';
        ++column;
      }
    }
    out += word;
    column += word.size();
    start = end + 1;
  }
  return out;
}

}  // namespace

std::optional<CommandEntry> command_entry(std::string_view name) {
  if (name == "info") {
    return CommandEntry{"info",
                        "FILE.hdf5",
                        "What the measurement holds: type, duration, detectors, alternation, "
                        "photons per detector and the background rates (to the standard output).",
                        {{"Measurement", kMeasurement}, {"Background", kInfo}}};
  }
  if (name == "search") {
    return CommandEntry{
        "search",
        "FILE.hdf5 -o TABLE.csv",
        "Finds the bursts (sliding-window search of all photons, or dual-channel) and writes "
        "the burst table with each burst's photon streams, E and S.",
        {{"Output", kSearchOutput},
         {"Search", kSearch},
         {"Selection", kSelection},
         {"Corrections (for E and S)", kCorrections},
         {"Measurement", kMeasurement}}};
  }
  if (name == "corrections") {
    return CommandEntry{
        "corrections",
        "FILE.hdf5 [--bursts TABLE.csv] [-o FILE.json]",
        "The leakage from the donor-only bursts and the direct excitation from the "
        "acceptor-only bursts of an ALEX measurement, each with its bootstrap 95 % interval, "
        "and the options ready to paste.  Gamma cannot be had from one population: give it "
        "as you know it.  Exit status 1 when neither can be estimated.",
        {{"Corrections", kCorrectionsCommand},
         {"Search (without --bursts)", kSearch},
         {"Measurement", kMeasurement}}};
  }
  if (name == "export") {
    return CommandEntry{"export",
                        "FILE.hdf5 --bursts TABLE.csv --burst K -o PHOTONS.txt",
                        "One burst's analysed photons as a photon file: pelmora gives it, to the "
                        "bit, the log L that scan gives the burst.",
                        {{"Export", kExport}, {"Measurement", kMeasurement}}};
  }
  if (name == "scan") {
    return CommandEntry{"scan",
                        "FILE.hdf5 | PHOTONS.txt ... [options]",
                        "The log L of every burst at every D, the joint P(D) over the bursts, and "
                        "the estimate of D with its bootstrap interval.  Photon files are one "
                        "burst each.  At least one of --loglik, --joint, -o and --summary.",
                        {{"Scan", kScan},
                         {"Selection", kSelection},
                         {"Corrections", kCorrections},
                         {"Outputs", kOutputs},
                         {"Estimate", kEstimate},
                         {"Analysis (as pelmora takes them)", kAnalysis},
                         {"Search (without --bursts)", kSearch},
                         {"Measurement", kMeasurement}}};
  }
  if (name == "combine") {
    return CommandEntry{"combine",
                        "SHARE.csv ... [options]",
                        "The shares of one scan (--shard I/K) put together: every output is, "
                        "byte for byte, that of the one scan over all bursts.",
                        {{"Outputs", kOutputs}, {"Estimate", kEstimate}, {"Console", kCombine}}};
  }
  return std::nullopt;
}

std::string command_help(const CommandEntry& command) {
  std::string text = "usage: pelmora-bursts " + std::string(command.name) + " " +
                     std::string(command.synopsis) + "\n\n" + wrapped(command.summary, 0, 0) + "\n";
  std::size_t width = 0;
  for (const OptionGroup& group : command.groups) {
    for (const OptionSpec& option : group.options) {
      width = std::max(width, option.name.size() + 1 + option.value.size());
    }
  }
  width += 4;
  for (const OptionGroup& group : command.groups) {
    text += "\n" + std::string(group.heading) + ":\n";
    for (const OptionSpec& option : group.options) {
      std::string lead = "  " + std::string(option.name);
      if (!option.value.empty()) lead += " " + std::string(option.value);
      text += padded(lead, width) + wrapped(option.help, width, width) + "\n";
    }
  }
  text +=
      "\nD in 1e-14 m^2/s, distances in nm, as pelmora takes them.  Threads: PELMORA_THREADS.\n";
  return text;
}

}  // namespace pelmora::bursts_cli
