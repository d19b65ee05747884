#pragma once

#include <functional>
#include <optional>
#include <string>

namespace pelmora {

struct RunSettings;
struct RunState;

// Whether two names lead to the same file, existing or not: the names are
// followed through symbolic links, dangling ones and chains of them too, as
// a result file written under them would be.
bool same_file(const std::string& a, const std::string& b);

// A run that would overwrite its own input, or write both trajectory-mode
// results to one file and so lose the first, is refused before anything is
// read.  Returns the error message, if any.  Pure apart from `same`.
std::optional<std::string> conflicting_file_names(
    const RunSettings& settings,
    const std::function<bool(const std::string&, const std::string&)>& same);

// Thin layer: throws the error as kOption.
void check_file_names(RunState& state);

}  // namespace pelmora
