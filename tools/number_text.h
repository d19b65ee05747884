// Option values of the generators: a whole argument read as a finite real.
#pragma once

#include <cmath>
#include <cstdlib>

// True when all of `text` is a finite number; `value` then holds it.
inline bool parse_real(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(value);
}
