// Text taken from an input file, made safe to quote in a message: a file's
// bytes (a damaged field, the contents of a file it points to) must neither
// flood the console nor reach it as control sequences.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelmora {

// Printable ASCII (space included) as it is, every other byte as \xNN; cut
// after `limit` bytes of the text, with "..." to show the cut.
std::string printable_text(std::string_view text, std::size_t limit = 32);

}  // namespace pelmora
