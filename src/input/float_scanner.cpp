#include "input/float_scanner.h"

#include <charconv>
#include <cstdlib>

namespace pelmora {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_hex_digit(char c) {
  const char lower = static_cast<char>(c | 0x20);
  return is_digit(c) || (lower >= 'a' && lower <= 'f');
}

// Folds an ASCII letter to lower case.  Only the two cases of a letter map
// onto a lower-case letter, so comparing the result with one is exact.
char lower(char c) {
  return static_cast<char>(c | 0x20);
}

const char* skip_digits(const char* p, const char* end) {
  while (p < end && is_digit(*p)) ++p;
  return p;
}

const char* skip_hex_digits(const char* p, const char* end) {
  while (p < end && is_hex_digit(*p)) ++p;
  return p;
}

}  // namespace

const char* FloatScanner::consume(const char* p, const char* end) {
  // One step of a keyword ("nan", "infinity"): the expected letter moves the
  // scanner on, anything else ends the number where it stands.
  auto keyword = [&](char expected, Phase next) {
    if (lower(*p) != expected) return false;
    phase_ = next;
    ++p;
    return true;
  };

  while (p < end) {
    const char c = *p;
    switch (phase_) {
      case Phase::kStart:
        if (c == '+' || c == '-') {
          phase_ = Phase::kSign;
          ++p;
          continue;
        }
        [[fallthrough]];
      case Phase::kSign:
        if (c == '0') {
          phase_ = Phase::kZero;
          has_digits_ = true;
          ++p;
        } else if (is_digit(c)) {
          phase_ = Phase::kDecimalMantissa;
          has_digits_ = true;
          ++p;
        } else if (c == '.') {
          phase_ = Phase::kDecimalFraction;
          ++p;
        } else if (lower(c) == 'n') {
          phase_ = Phase::kN;
          ++p;
        } else if (lower(c) == 'i') {
          phase_ = Phase::kI;
          ++p;
        } else {
          return p;
        }
        continue;

      case Phase::kZero:
        if (lower(c) == 'x') {
          phase_ = Phase::kHexMantissa;
          has_digits_ = false;  // the "0" was only the prefix
          ++p;
          continue;
        }
        phase_ = Phase::kDecimalMantissa;
        continue;

      case Phase::kDecimalMantissa:
        p = skip_digits(p, end);
        if (p == end) return p;
        if (*p == '.') {
          phase_ = Phase::kDecimalFraction;
          ++p;
          continue;
        }
        if (lower(*p) == 'e') {
          phase_ = Phase::kDecimalExponentStart;
          ++p;
          continue;
        }
        return p;

      case Phase::kDecimalFraction: {
        const char* digits_end = skip_digits(p, end);
        has_digits_ = has_digits_ || digits_end != p;
        p = digits_end;
        if (p == end) return p;
        if (has_digits_ && lower(*p) == 'e') {
          phase_ = Phase::kDecimalExponentStart;
          ++p;
          continue;
        }
        return p;
      }

      case Phase::kDecimalExponentStart:
        if (c == '+' || c == '-') {
          phase_ = Phase::kDecimalExponentSign;
          ++p;
          continue;
        }
        [[fallthrough]];
      case Phase::kDecimalExponentSign:
        if (!is_digit(c)) return p;
        phase_ = Phase::kDecimalExponent;
        [[fallthrough]];
      case Phase::kDecimalExponent:
        return skip_digits(p, end);

      case Phase::kHexMantissa: {
        const char* digits_end = skip_hex_digits(p, end);
        has_digits_ = has_digits_ || digits_end != p;
        p = digits_end;
        if (p == end) return p;
        if (*p == '.') {
          phase_ = Phase::kHexFraction;
          ++p;
          continue;
        }
        if (has_digits_ && lower(*p) == 'p') {
          phase_ = Phase::kHexExponentStart;
          ++p;
          continue;
        }
        return p;
      }

      case Phase::kHexFraction: {
        const char* digits_end = skip_hex_digits(p, end);
        has_digits_ = has_digits_ || digits_end != p;
        p = digits_end;
        if (p == end) return p;
        if (has_digits_ && lower(*p) == 'p') {
          phase_ = Phase::kHexExponentStart;
          ++p;
          continue;
        }
        return p;
      }

      case Phase::kHexExponentStart:
        if (c == '+' || c == '-') {
          phase_ = Phase::kHexExponentSign;
          ++p;
          continue;
        }
        [[fallthrough]];
      case Phase::kHexExponentSign:
        if (!is_digit(c)) return p;
        phase_ = Phase::kHexExponent;
        [[fallthrough]];
      case Phase::kHexExponent:
        return skip_digits(p, end);

      case Phase::kN:
        if (!keyword('a', Phase::kNa)) return p;
        continue;
      case Phase::kNa:
        if (!keyword('n', Phase::kNan)) return p;
        continue;
      case Phase::kI:
        if (!keyword('n', Phase::kIn)) return p;
        continue;
      case Phase::kIn:
        if (!keyword('f', Phase::kInf)) return p;
        continue;
      case Phase::kInf:
        if (!keyword('i', Phase::kInfi)) return p;
        continue;
      case Phase::kInfi:
        if (!keyword('n', Phase::kInfin)) return p;
        continue;
      case Phase::kInfin:
        if (!keyword('i', Phase::kInfini)) return p;
        continue;
      case Phase::kInfini:
        if (!keyword('t', Phase::kInfinit)) return p;
        continue;
      case Phase::kInfinit:
        if (!keyword('y', Phase::kInfinity)) return p;
        continue;
      case Phase::kNan:
      case Phase::kInfinity:
        return p;
    }
  }
  return p;
}

bool FloatScanner::complete() const {
  switch (phase_) {
    case Phase::kZero:
    case Phase::kDecimalMantissa:
    case Phase::kDecimalExponent:
    case Phase::kHexExponent:
    case Phase::kNan:
    case Phase::kInf:
    case Phase::kInfinity:
      return true;
    case Phase::kDecimalFraction:
    case Phase::kHexMantissa:
    case Phase::kHexFraction:
      return has_digits_;
    default:
      return false;
  }
}

bool FloatScanner::decimal() const {
  switch (phase_) {
    case Phase::kZero:
    case Phase::kDecimalMantissa:
    case Phase::kDecimalFraction:
    case Phase::kDecimalExponentStart:
    case Phase::kDecimalExponentSign:
    case Phase::kDecimalExponent:
      return true;
    default:
      return false;
  }
}

float convert_float(std::string_view text, bool decimal, std::string& scratch) {
  if (decimal) {
    // from_chars is correctly rounded and fast, but takes no '+' and reports
    // values beyond the float range instead of rounding them; those few cases
    // go to strtof, which gives what the C library's scanf gives.
    const char* first = text.data();
    const char* const last = first + text.size();
    if (first < last && *first == '+') ++first;
    float value = 0.0f;
    const std::from_chars_result result = std::from_chars(first, last, value);
    if (result.ec == std::errc() && result.ptr == last) return value;
  }
  scratch.assign(text);
  return std::strtof(scratch.c_str(), nullptr);
}

}  // namespace pelmora
