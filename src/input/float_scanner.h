// Reading one number the way a C "%f" conversion does: the longest run of
// characters that could still begin a valid number is consumed, and the read
// succeeds only when that run is itself a complete number; the value is then
// the correctly rounded 32-bit float of the consumed text.
//
// Accepted forms (letters in either case): an optional sign, then decimal
// digits with an optional fraction and exponent, or "0x" with hexadecimal
// digits, an optional fraction and an optional binary exponent "p", or "inf",
// "infinity" or "nan".  Like the C library's scanf, "nan" is taken without a
// parenthesised payload.  Values beyond the float range become +-inf.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelmora {

// The characters that scanf skips before a number.
inline bool is_scan_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// A resumable scanner for one number, so that a number may be split across
// input blocks: consume() is called on successive pieces until it stops short
// of the end of a piece (or the input ends).
class FloatScanner {
 public:
  // Starts a new number.  The caller has already skipped white space.
  void reset() {
    phase_ = Phase::kStart;
    has_digits_ = false;
  }

  // Consumes characters of [p, end) while they can extend the number and
  // returns the first that cannot, or `end` when all of them could.
  const char* consume(const char* p, const char* end);

  // Whether the characters consumed so far form a complete number.
  bool complete() const;

  // Whether the number is in plain decimal notation.
  bool decimal() const;

 private:
  enum class Phase : std::uint8_t {
    kStart,
    kSign,
    kZero,  // a leading "0": decimal, or the start of "0x"
    kDecimalMantissa,
    kDecimalFraction,
    kDecimalExponentStart,  // just after 'e'
    kDecimalExponentSign,
    kDecimalExponent,
    kHexMantissa,
    kHexFraction,
    kHexExponentStart,  // just after 'p'
    kHexExponentSign,
    kHexExponent,
    kN,
    kNa,
    kNan,
    kI,
    kIn,
    kInf,
    kInfi,
    kInfin,
    kInfini,
    kInfinit,
    kInfinity,
  };

  Phase phase_ = Phase::kStart;
  bool has_digits_ = false;  // mantissa digits seen
};

// The value of a complete number `text` as consumed by FloatScanner.
// `scratch` is working storage, reused between calls.
float convert_float(std::string_view text, bool decimal, std::string& scratch);

}  // namespace pelmora
