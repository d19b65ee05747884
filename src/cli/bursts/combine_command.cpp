#include "base/error.h"
#include "cli/bursts/arguments.h"
#include "cli/bursts/command_table.h"
#include "cli/bursts/commands.h"
#include "cli/bursts/joint_outputs.h"
#include "cli/console_frame.h"

namespace pelmora::bursts_cli {

void run_combine(CommandArguments words, const std::string& command_line, Console& console) {
  const Arguments arguments(*command_entry("combine"), words);
  const JointOutputs outputs = joint_outputs(arguments);
  const BootstrapOptions bootstrap = bootstrap_options(arguments);
  const std::vector<std::string>& names = arguments.names();
  if (names.empty()) {
    throw Error(ErrorKind::kOption, "pelmora-bursts combine takes the share files of one scan.");
  }
  std::vector<InputFile> inputs;
  for (const std::string& name : names) inputs.push_back({name, "share"});
  refuse_file_clashes(inputs, output_files(outputs));
  std::vector<MeasurementScan> shares;
  for (const std::string& name : names) {
    ShareFile share = read_share_file(name);
    for (const std::string& warning : share.warnings) console.write(framed_warning(warning));
    shares.push_back(std::move(share.scan));
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
