#include "support/scan_float.h"

#include <string>

namespace pelmora::testing {

FloatScan scan_float(std::string_view text) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* p = begin;
  while (p < end && is_scan_space(*p)) ++p;
  FloatScan scan;
  if (p == end) {
    scan.consumed = text.size();
    return scan;
  }
  FloatScanner scanner;
  scanner.reset();
  const char* const start = p;
  p = scanner.consume(p, end);
  scan.consumed = static_cast<std::size_t>(p - begin);
  if (!scanner.complete()) {
    scan.status = FloatScan::Status::kNotANumber;
    return scan;
  }
  std::string scratch;
  scan.status = FloatScan::Status::kNumber;
  scan.value = convert_float(std::string_view(start, static_cast<std::size_t>(p - start)),
                             scanner.decimal(), scratch);
  return scan;
}

}  // namespace pelmora::testing
