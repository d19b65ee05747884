#include "output/number_format.h"

#include <charconv>

namespace pelmora {

// std::to_chars with a precision is defined to give printf's digits, and is
// exact in the same way (correct rounding of the binary value, ties to even).
char* format_fixed(char* out, double value) {
  return std::to_chars(out, out + kMaxNumberLength, value, std::chars_format::fixed, 6).ptr;
}

char* format_int(char* out, int value) {
  return std::to_chars(out, out + kMaxNumberLength, value).ptr;
}

char* format_hex02(char* out, int value) {
  const unsigned bits = static_cast<unsigned>(value);
  if (bits < 16) {
    *out++ = '0';
  }
  return std::to_chars(out, out + kMaxNumberLength, bits, 16).ptr;
}

}  // namespace pelmora
