#include <algorithm>

#include "base/error.h"
#include "cli/bursts/arguments.h"
#include "cli/bursts/command_table.h"
#include "cli/bursts/commands.h"
#include "cli/bursts/measurement_options.h"
#include "cli/console_frame.h"

namespace pelmora::bursts_cli {

namespace {

void print_rates(Console& out, const char* label, const StreamRates& rates) {
  out.print(
      "%s all photons %.1f Hz, donor channel %.1f Hz, acceptor channel %.1f Hz "
      "(donor excitation; per second of measurement)\n",
      label, rates.all.rate_hz, rates.donor.rate_hz, rates.acceptor.rate_hz);
}

}  // namespace

void run_info(CommandArguments words, Console& out, Console& console) {
  const Arguments arguments(*command_entry("info"), words);
  if (arguments.names().size() != 1) {
    throw Error(ErrorKind::kOption, "pelmora-bursts info takes one Photon-HDF5 file.");
  }
  const Measurement m = read_photon_hdf5(arguments.names()[0], measurement_overrides(arguments));
  const MeasurementDescription& d = m.description;
  out.print("File: %s (%llu bytes, Photon-HDF5 %s)\n", d.path.c_str(),
            static_cast<unsigned long long>(d.file_size), d.format_version.c_str());
  out.print("Measurement type: %s", d.measurement_type.c_str());
  if (d.stored_measurement_type != d.measurement_type) {
    out.print(" (the file says %s)", d.stored_measurement_type.c_str());
  }
  out.write("\n");
  if (!d.spots.empty()) {
    out.write("Spots:");
    for (const int spot : d.spots) out.print(" %d", spot);
    out.print(" (this report: spot %d)\n", d.spot.value_or(-1));
  }
  const double unit = d.timestamps_unit;
  out.print("Timestamp unit: %g s\n", unit);
  out.print("Duration: %.6f s (from %.6f s to %.6f s)\n",
            ticks_between(d.first_timestamp, d.last_timestamp) * unit,
            static_cast<double>(d.first_timestamp) * unit,
            static_cast<double>(d.last_timestamp) * unit);
  const auto listed = [](const std::vector<std::int64_t>& ids) {
    std::string text;
    for (const std::int64_t id : ids) text += (text.empty() ? "" : ", ") + std::to_string(id);
    return text;
  };
  out.print("Donor channel: detector %s; acceptor channel: detector %s\n",
            listed(d.donor_detectors).c_str(), listed(d.acceptor_detectors).c_str());
  if (d.alex) {
    if (d.alex->nanotime_windows.empty()) {
      out.print(
          "Alternation: period %lld, offset %lld, donor excitation %lld to %lld "
          "(timestamp units)\n",
          static_cast<long long>(d.alex->period), static_cast<long long>(d.alex->offset),
          static_cast<long long>(d.alex->donor_start), static_cast<long long>(d.alex->donor_stop));
    } else {
      out.write("Donor excitation: nanotimes");
      for (const auto& [start, stop] : d.alex->nanotime_windows) {
        out.print(" [%lld, %lld)", static_cast<long long>(start), static_cast<long long>(stop));
      }
      out.write("\n");
    }
  }
  out.write("Photons per detector (of which in donor excitation):\n");
  for (const DetectorCount& detector : d.detectors) {
    const bool donor =
        std::count(d.donor_detectors.begin(), d.donor_detectors.end(), detector.detector) > 0;
    const bool acceptor =
        std::count(d.acceptor_detectors.begin(), d.acceptor_detectors.end(), detector.detector) > 0;
    out.print("  detector %lld (%s): %lld (%lld)\n", static_cast<long long>(detector.detector),
              donor      ? "donor"
              : acceptor ? "acceptor"
                         : "not analysed",
              static_cast<long long>(detector.photons),
              static_cast<long long>(detector.donor_excited));
  }
  std::int64_t donor_excited = 0;
  for (const std::uint8_t flags : m.flags) donor_excited += is_donor_excited(flags) ? 1 : 0;
  out.print("Donor and acceptor channels: %zu photons, %lld in donor excitation\n",
            m.timestamps.size(), static_cast<long long>(donor_excited));
  const Background background = estimate_background(
      m, arguments.real("--bg-window", BurstSearchOptions{}.background_window_s));
  print_rates(out, "Background:", background.whole);
  for (const std::string& warning : background.warnings) console.write(framed_warning(warning));
}

}  // namespace pelmora::bursts_cli
