#pragma once

#include <string_view>

namespace pelmora {

class Console;

// The usage text, as printed.
std::string_view usage_text();

// Prints the usage text.
void print_usage(Console& console);

}  // namespace pelmora
