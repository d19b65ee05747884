#include "base/printable_text.h"

namespace pelmora {

std::string printable_text(std::string_view text, std::size_t limit) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string shown;
  for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7f) {
      shown.push_back(static_cast<char>(byte));
    } else {
      shown += "\\x";
      shown.push_back(kDigits[byte >> 4]);
      shown.push_back(kDigits[byte & 0xf]);
    }
  }
  if (text.size() > limit) shown += "...";
  return shown;
}

}  // namespace pelmora
