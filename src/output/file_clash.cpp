#include "output/file_clash.h"

#include <filesystem>

#include "base/error.h"
#include "output/link_target.h"

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
  // Names of files that do not exist yet: compare where they would be.
  std::error_code first_error;
  std::error_code second_error;
  const std::filesystem::path first = landing_place(a, first_error);
  const std::filesystem::path second = landing_place(b, second_error);
  return !first_error && !second_error && first == second;
}

std::optional<FileClash> find_file_clash(std::span<const InputFile> inputs,
                                         std::span<const OutputFile> outputs,
                                         const SameFile& same) {
  for (std::size_t o = 0; o < outputs.size(); ++o) {
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      if (same(outputs[o].name, inputs[i].name)) return FileClash{o, i, std::nullopt};
    }
    for (std::size_t e = 0; e < o; ++e) {
      if (same(outputs[o].name, outputs[e].name)) return FileClash{o, std::nullopt, e};
    }
  }
  return std::nullopt;
}

std::string file_clash_message(const FileClash& clash, std::span<const InputFile> inputs,
                               std::span<const OutputFile> outputs) {
  const OutputFile& output = outputs[clash.output];
  if (clash.input) {
    const InputFile& input = inputs[*clash.input];
    return "Output file " + output.name + " (" + output.role + ") is the input file " + input.name +
           " (" + input.role + "); choose another name.";
  }
  const OutputFile& earlier = outputs[clash.earlier_output.value_or(0)];
  return "Two results would be written to one file: " + earlier.name + " (" + earlier.role +
         ") and " + output.name + " (" + output.role + "); choose a name for each.";
}

void refuse_file_clashes(std::span<const InputFile> inputs, std::span<const OutputFile> outputs) {
  if (const std::optional<FileClash> clash = find_file_clash(inputs, outputs)) {
    throw Error(ErrorKind::kOption, file_clash_message(*clash, inputs, outputs));
  }
}

}  // namespace pelmora
