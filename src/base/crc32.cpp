#include "base/crc32.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

namespace pelmora {

std::uint32_t crc32_of(std::string_view bytes, std::uint32_t crc) {
  uLong value = crc;
  // zlib takes lengths as unsigned int: long inputs go in pieces.
  constexpr std::size_t kPiece = std::size_t{1} << 30;
  while (!bytes.empty()) {
    const std::size_t length = std::min(bytes.size(), kPiece);
    value = ::crc32(value, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(length));
    bytes.remove_prefix(length);
  }
  return static_cast<std::uint32_t>(value);
}

std::string crc32_text(std::uint32_t crc) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(crc));
  return text;
}

}  // namespace pelmora
