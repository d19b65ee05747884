// CRC-32 (zlib's: the checksum of gzip, PNG and zip), for telling whether
// bytes arrived as they were written.  It catches any cut or burst of damage
// a file suffers by accident; it is no defence against deliberate change.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelmora {

// The CRC-32 of `bytes`, continuing from `crc` (the CRC-32 of the bytes
// before them; 0 to start).
std::uint32_t crc32_of(std::string_view bytes, std::uint32_t crc = 0);

// Eight lower-case hexadecimal digits.
std::string crc32_text(std::uint32_t crc);

}  // namespace pelmora
