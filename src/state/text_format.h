#pragma once

#include <cstdarg>
#include <string>

namespace pelmora {

// printf-style formatting into a string, for messages that are built before
// they are printed.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string format_text_list(const char* format, va_list args)
    __attribute__((format(printf, 1, 0)));

}  // namespace pelmora
