// Who wrote a result: this release of Pelmora and the command that ran (the
// argument list quoted for a shell, or a Python call), recorded in
// results.h5, summary.json and a share's description.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace pelmora {

struct Provenance {
  std::string version;  // pelmora::kVersion
  std::string command;
};

// This release with `command`.
Provenance provenance_of(std::string command);

// The arguments as one line a POSIX shell reads back as the same arguments:
// words of only safe characters as they are, every other word in single
// quotes (a quote inside as '\'').
std::string shell_command(std::span<const std::string_view> arguments);

}  // namespace pelmora
