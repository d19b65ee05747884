#include "cli/file_names.h"

#include <vector>

#include "base/error.h"
#include "cli/run_state.h"
#include "state/text_format.h"

namespace pelmora {

std::optional<std::string> conflicting_file_names(const RunSettings& settings,
                                                  const SameFile& same) {
  const InputFile inputs[] = {{settings.infile, "photon file"}};
  std::vector<OutputFile> outputs = {{settings.outfile, "distance distribution"}};
  if (settings.write_trajectory) outputs.push_back({settings.traj_file, "average trajectory"});
  const std::optional<FileClash> clash = find_file_clash(inputs, outputs, same);
  if (!clash) return std::nullopt;
  if (clash->earlier_output) {
    return format_text(
        "Distance distribution and average trajectory would both be written to %s; "
        "choose two names.",
        settings.traj_file.c_str());
  }
  return format_text("%s file %s is the input file %s; choose another name.",
                     clash->output == 0 ? "Output" : "Trajectory",
                     outputs[clash->output].name.c_str(), settings.infile.c_str());
}

void check_file_names(RunState& state) {
  if (auto error = conflicting_file_names(state.settings, same_file)) {
    throw Error(ErrorKind::kOption, std::move(*error));
  }
}

}  // namespace pelmora
