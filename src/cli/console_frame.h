// How the command lines set an error or a warning apart on the console: the
// library's sentences are plain, and these are the one place where the line
// breaks and the "ERROR: " and "WARNING: " tags around them are added.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"
#include "state/observer.h"

namespace pelmora {

// "\n\nERROR: " + sentence + "\n", and a blank line more for a paragraph.
std::string framed_error(std::string_view sentence, ErrorLayout layout = ErrorLayout::kLine);
std::string framed_error(const Error& error);

// A warning of the engine or of the photon reader as the console shows it.
std::string framed_warning(const Warning& warning);
// Any other warning's sentence: "\n\nWARNING: " + sentence + "\n".
std::string framed_warning(std::string_view sentence);

}  // namespace pelmora
