// One scanf-like float conversion of a whole text, for tests of the scanner.
#pragma once

#include <cstddef>
#include <string_view>

#include "input/float_scanner.h"

namespace pelmora::testing {

// One "%f" conversion at the start of `text`: white space skipped, then one
// number scanned.  kEnd: only white space remained.  `consumed` counts the
// white space and every character the conversion took.
struct FloatScan {
  enum class Status { kNumber, kNotANumber, kEnd };
  Status status = Status::kEnd;
  float value = 0.0f;
  std::size_t consumed = 0;
};
FloatScan scan_float(std::string_view text);

}  // namespace pelmora::testing
