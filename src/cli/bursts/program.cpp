#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "cli/bursts/command_table.h"
#include "cli/bursts/commands.h"
#include "cli/console_frame.h"
#include "cli/termination_signals.h"
#include "pelmora/measurement.h"
#include "state/text_format.h"

namespace pelmora::bursts_cli {

namespace {

constexpr std::string_view kUsage =
    "usage: pelmora-bursts COMMAND ...\n"
    "\n"
    "  info FILE.hdf5                       what the measurement holds\n"
    "  search FILE.hdf5 -o bursts.csv       find the bursts, write the burst table\n"
    "  export FILE.hdf5 --bursts bursts.csv --burst K -o burst.txt\n"
    "                                       one burst as a photon file for pelmora\n"
    "  scan FILE.hdf5 [--bursts bursts.csv] [-Dmin a -Dmax b -n k] [-R r -min x -max y -d n]\n"
    "       [--loglik loglik.csv] [--joint joint.dat] [-o results.h5] [--summary summary.json]\n"
    "       [--bootstrap 1000] [--seed 1] [--shard i/k] [-q]\n"
    "       [--model free|chain:RMS|chain:FROM:TO:COUNT|box:A:B|pmf:FILE]\n"
    "       [--background auto|off|D_HZ,A_HZ] [--grid grid.csv]\n"
    "                                       log L of every burst, the joint P(D), the\n"
    "                                       estimate of D and its bootstrap interval;\n"
    "                                       --model: the distance's free energy (free);\n"
    "                                       --background: mixed into the colours (auto\n"
    "                                       with a confined model, else off)\n"
    "  scan burst1.txt burst2.txt ...       the same for photon files, one burst each\n"
    "  combine share1.csv share2.csv ... [--loglik all.csv] [--joint joint.dat] [-o results.h5]\n"
    "       [--summary summary.json] [--grid grid.csv] [--bootstrap 1000] [--seed 1] [-q]\n"
    "                                       the shares of a scan, put together\n"
    "  corrections FILE.hdf5 [--bursts bursts.csv] [-o corrections.json]\n"
    "                                       leakage and direct excitation of an ALEX\n"
    "                                       measurement, the options ready to paste\n"
    "\n"
    "Search (search, and scan without --bursts):\n"
    "  --m 10 --F 6 --min-photons 30 --bg-window 60   (or --min-rate KHZ instead of F)\n"
    "  --search apbs|dcbs   --where COLUMN=LO:HI (repeatable; search and scan)\n"
    "Corrections (search, scan): --gamma 1 --leakage 0 --dir-ex 0 --beta 1\n"
    "Measurement (info, search, export, scan):\n"
    "  --spot N   --type smFRET|smFRET-usALEX|smFRET-nsALEX\n"
    "  --alex-period TICKS  --alex-offset TICKS  --donor-window START:STOP\n"
    "Analysis: -R -min -max -d -Dmin -Dmax -n as in pelmora (D in 1e-14 m^2/s).\n"
    "Threads: PELMORA_THREADS (default: the CPUs this process may use).\n"
    "-q: no progress and status lines; warnings and results still show.\n"
    "pelmora-bursts COMMAND --help: that command's options.  pelmora-bursts --version.\n";

}  // namespace

int run_pelmora_bursts(int argc, char** argv) {
  Console out(stdout);
  Console console(stderr);
  ignore_file_size_signal();
  const std::vector<std::string_view> all(argv, argv + argc);
  const std::vector<std::string_view> words(all.begin() + (argc > 0 ? 1 : 0), all.end());
  if (words.empty() || words[0] == "--help" || words[0] == "-h" ||
      (words[0] == "help" && words.size() == 1)) {
    out.write(kUsage);
    return words.empty() ? 1 : 0;
  }
  if (words[0] == "--version") {
    out.print("pelmora-bursts %s\n", kVersion);
    return 0;
  }
  const bool help = words[0] == "help";
  const std::string_view command = words[help ? 1 : 0];
  const std::optional<CommandEntry> entry = command_entry(command);
  if (!entry) {
    console.write(framed_error(format_text("pelmora-bursts has no command '%.*s'.",
                                           static_cast<int>(command.size()), command.data()),
                               ErrorLayout::kParagraph));
    console.write(kUsage);
    return 1;
  }
  const CommandArguments arguments(words.data() + (help ? 2 : 1), words.size() - (help ? 2 : 1));
  if (help || std::find(arguments.begin(), arguments.end(), "--help") != arguments.end() ||
      std::find(arguments.begin(), arguments.end(), "-h") != arguments.end()) {
    out.write(command_help(*entry));
    return 0;
  }
  const std::string command_line = shell_command(all);
  try {
    if (command == "info") {
      run_info(arguments, out, console);
    } else if (command == "search") {
      run_search(arguments, console);
    } else if (command == "export") {
      run_export(arguments, console);
    } else if (command == "scan") {
      run_scan(arguments, command_line, console);
    } else if (command == "combine") {
      run_combine(arguments, command_line, console);
    } else if (command == "corrections") {
      run_corrections(arguments, out, console);
    }
    return 0;
  } catch (const Error& error) {
    console.write(framed_error(error));
  } catch (const std::bad_alloc&) {
    console.write(framed_error("allocation failure (out of memory)"));
  }
  return 1;
}

}  // namespace pelmora::bursts_cli
