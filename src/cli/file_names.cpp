#include "cli/file_names.h"

#include <filesystem>

#include "base/error.h"
#include "cli/run_state.h"
#include "output/link_target.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

// Where a file written under `name` would end up: through symbolic links,
// dangling ones too, to a name of which only the directories are left to
// resolve.
std::filesystem::path landing_place(const std::string& name, std::error_code& error) {
  namespace fs = std::filesystem;
  const fs::path absolute = fs::absolute(follow_links(name).path, error);
  if (error) return {};
  return fs::weakly_canonical(absolute, error);
}

}  // namespace

bool same_file(const std::string& a, const std::string& b) {
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error)) return true;
  // Names of files that do not exist yet: compare where they would be.  A
  // name that cannot be resolved matches nothing (the write then fails on
  // its own), whichever of the two it is.
  std::error_code first_error;
  std::error_code second_error;
  const std::filesystem::path first = landing_place(a, first_error);
  const std::filesystem::path second = landing_place(b, second_error);
  return !first_error && !second_error && first == second;
}

std::optional<std::string> conflicting_file_names(
    const RunSettings& settings,
    const std::function<bool(const std::string&, const std::string&)>& same) {
  if (same(settings.outfile, settings.infile)) {
    return format_text("Output file %s is the input file %s; choose another name.",
                       settings.outfile.c_str(), settings.infile.c_str());
  }
  if (!settings.write_trajectory) return std::nullopt;
  if (same(settings.traj_file, settings.infile)) {
    return format_text("Trajectory file %s is the input file %s; choose another name.",
                       settings.traj_file.c_str(), settings.infile.c_str());
  }
  if (same(settings.traj_file, settings.outfile)) {
    return format_text(
        "Distance distribution and average trajectory would both be written to %s; "
        "choose two names.",
        settings.traj_file.c_str());
  }
  return std::nullopt;
}

void check_file_names(RunState& state) {
  if (auto error = conflicting_file_names(state.settings, same_file)) {
    throw Error(ErrorKind::kOption, std::move(*error));
  }
}

}  // namespace pelmora
