// Whether a name leads to a regular file.  A pipe would block a reader that
// expects a file for ever (until someone writes into it), a device such as
// /dev/zero would feed it without end, and a folder cannot be read at all:
// readers that need a file's size or seek in it ask here before opening.
#pragma once

#include <optional>
#include <string>

namespace pelmora {

// The refusal for a name that exists but is not a regular file (through
// symbolic links): "Could not read from file NAME: it is a pipe, not a
// regular file."  Nothing for a regular file and for a name that leads
// nowhere (the reader's own open then says why).
std::optional<std::string> not_a_regular_file(const std::string& path);

}  // namespace pelmora
