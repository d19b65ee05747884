#include "base/error.h"
#include "cli/bursts/arguments.h"
#include "cli/bursts/command_table.h"
#include "cli/bursts/commands.h"
#include "cli/bursts/joint_outputs.h"

namespace pelmora::bursts_cli {

void run_combine(CommandArguments words, const std::string& command_line, Console& console) {
  const Arguments arguments(*command_spec("combine"), words);
  const JointOutputs outputs = joint_outputs(arguments);
  const BootstrapOptions bootstrap = bootstrap_options(arguments);
  const std::vector<std::string>& names = arguments.names();
  if (names.empty()) {
    throw Error(ErrorKind::kOption, "pelmora-bursts combine takes the share files of one scan.");
  }
  std::vector<MeasurementScan> shares;
  for (const std::string& name : names) {
    shares.push_back(parse_share(read_share_file(name), name).scan);
  }
  const MeasurementScan scan = combine_scans(shares, names);
  if (outputs.grid && !scan.setup.request.model.scanned()) {
    throw Error(ErrorKind::kOption,
                "--grid writes the cells of a scanned model parameter, and these shares scanned "
                "one model.");
  }
  std::string share_names;
  for (const std::string& name : names) share_names += (share_names.empty() ? "" : ",") + name;
  report_scan(scan, bootstrap, outputs, provenance_of(command_line),
              {{"combined_from", share_names}}, console);
}

}  // namespace pelmora::bursts_cli
