// Number conversions for the result files.  Each writes exactly the characters
// that C's printf gives for the named conversion (in the "C" locale) and
// returns the end of what it wrote; the caller provides the room.  They exist
// because a large run writes tens of millions of numbers, and printf's
// per-call format parsing dominates the writers' time.
#pragma once

#include <cstddef>

namespace pelmora {

// Room that any of the conversions below may need: "%f" of the largest double
// has 309 integer digits, a sign, a point and six decimals.
inline constexpr std::size_t kMaxNumberLength = 328;

// "%f": six decimals, never an exponent; -0.0 and tiny negative values give
// "-0.000000".
char* format_fixed(char* out, double value);

// "%d".
char* format_int(char* out, int value);

// "%02x" of an int argument: lower-case hexadecimal of the value taken as
// unsigned, at least two digits.
char* format_hex02(char* out, int value);

}  // namespace pelmora
