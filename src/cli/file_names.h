#pragma once

#include <optional>
#include <string>

#include "output/file_clash.h"

namespace pelmora {

struct RunSettings;
struct RunState;

// A run that would overwrite its own input, or write both trajectory-mode
// results to one file and so lose the first, is refused before anything is
// read (the rule of output/file_clash.h, in pelmora's own words).  Returns
// the error message, if any.  Pure apart from `same`.
std::optional<std::string> conflicting_file_names(const RunSettings& settings,
                                                  const SameFile& same);

// Thin layer: throws the error as kOption.
void check_file_names(RunState& state);

}  // namespace pelmora
