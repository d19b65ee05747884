#include <algorithm>

#include "base/error.h"
#include "cli/bursts/arguments.h"
#include "cli/bursts/command_table.h"
#include "cli/bursts/commands.h"
#include "cli/bursts/measurement_options.h"
#include "cli/console_frame.h"
#include "cli/termination_signals.h"

namespace pelmora::bursts_cli {

void run_search(CommandArguments words, Console& console) {
  const Arguments arguments(*command_entry("search"), words);
  if (arguments.names().size() != 1 || !arguments.given("-o")) {
    throw Error(ErrorKind::kOption,
                "pelmora-bursts search takes one Photon-HDF5 file and -o TABLE.csv.");
  }
  refuse_file_clashes(std::vector<InputFile>{{arguments.names()[0], "measurement"}},
                      std::vector<OutputFile>{{*arguments.text("-o"), "-o"}});
  const bool quiet = arguments.flag("-q");
  const BurstSearchOptions search = search_options(arguments);
  const std::vector<BurstRange> ranges = burst_ranges(arguments);
  const Measurement m = read_photon_hdf5(arguments.names()[0], measurement_overrides(arguments));
  check_ranges_for(ranges, m.description);
  check_corrections_for(search.corrections, m.description);
  if (!quiet) {
    console.print("Read %zu donor- and acceptor-channel photons from %s.\n", m.timestamps.size(),
                  m.description.path.c_str());
  }
  const MeasurementSearch searched = search_measurement(m, search);
  const BurstSearchResult& found = searched.found;
  if (const std::optional<Background>& background = searched.background) {
    for (const std::string& warning : background->warnings) console.write(framed_warning(warning));
    if (!quiet) {
      console.print(
          "Background of all photons: %.1f Hz (%zu window%s of %g s); minimum burst rate "
          "F x background = %.1f kHz.\n",
          background->whole.all.rate_hz, background->windows.size(),
          background->windows.size() == 1 ? "" : "s", search.background_window_s,
          search.F * background->whole.all.rate_hz / 1000);
    }
  }
  std::size_t selected = 0;
  {
    const HeldTerminationSignals held;
    std::vector<Burst> bursts;
    for (const std::size_t b : select_bursts(found.bursts, ranges)) {
      bursts.push_back(found.bursts[b]);
    }
    selected = bursts.size();
    write_burst_table(*arguments.text("-o"), bursts, held.stop_request());
  }
  if (!quiet) {
    console.print("Found %zu bursts of at least %d analysed photons (%lld smaller ones dropped)",
                  found.bursts.size(), search.min_photons, static_cast<long long>(found.too_small));
    if (!ranges.empty()) console.print(", %zu of them selected", selected);
    console.print("; table written to %s.\n", arguments.text("-o")->c_str());
  }
}

void run_export(CommandArguments words, Console& console) {
  const Arguments arguments(*command_entry("export"), words);
  if (arguments.names().size() != 1 || !arguments.given("--bursts") ||
      !arguments.given("--burst") || !arguments.given("-o")) {
    throw Error(ErrorKind::kOption,
                "pelmora-bursts export takes one Photon-HDF5 file, --bursts TABLE.csv, "
                "--burst K and -o PHOTONS.txt.");
  }
  refuse_file_clashes(std::vector<InputFile>{{arguments.names()[0], "measurement"},
                                             {*arguments.text("--bursts"), "burst table"}},
                      std::vector<OutputFile>{{*arguments.text("-o"), "-o"}});
  const std::vector<BurstWindow> windows = read_burst_table(*arguments.text("--bursts"));
  const long long wanted = arguments.whole("--burst", 0);
  const auto found = std::find_if(windows.begin(), windows.end(),
                                  [&](const BurstWindow& w) { return w.number == wanted; });
  if (found == windows.end()) {
    throw Error(ErrorKind::kOption, "The burst table " + *arguments.text("--bursts") +
                                        " has no burst " + std::to_string(wanted) + ".");
  }
  const Measurement m = read_photon_hdf5(arguments.names()[0], measurement_overrides(arguments));
  const BurstPhotons photons = burst_photons(m, *found);
  if (photons.unordered) {
    throw Error(ErrorKind::kInput,
                "Burst " + std::to_string(wanted) +
                    " has simultaneous photons that the photon file format cannot hold in order; "
                    "it cannot be exported.");
  }
  {
    const HeldTerminationSignals held;
    write_burst_photon_file(*arguments.text("-o"), photons, held.stop_request());
  }
  console.print("Burst %lld: %zu photons written to %s.\n", wanted, photons.times_us.size(),
                arguments.text("-o")->c_str());
}

}  // namespace pelmora::bursts_cli
