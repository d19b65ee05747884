#include "bursts/table_seconds.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "base/error.h"
#include "state/text_format.h"

namespace pelmora {

namespace {

constexpr double kNanosecondsPerSecond = 1e9;

// The double nearest to n nanoseconds.  Both operands are exact doubles
// (|n| < 2^53), so IEEE division rounds the true quotient once: the same
// double that a correctly rounding reader makes of the nine-decimal text.
double seconds_of(std::int64_t nanoseconds) {
  return static_cast<double>(nanoseconds) / kNanosecondsPerSecond;
}

std::int64_t nanoseconds_near(double seconds) {
  if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxTableSeconds) {
    throw Error(ErrorKind::kInput,
                format_text("Burst time %g s cannot be written to a burst table (at "
                            "most %g s either side of 0).",
                            seconds, kMaxTableSeconds));
  }
  return static_cast<std::int64_t>(std::llround(seconds * kNanosecondsPerSecond));
}

}  // namespace

double table_seconds_down(double seconds) {
  // The product above is off by far less than a nanosecond; the two loops
  // settle the last step exactly, whatever it was.
  std::int64_t n = nanoseconds_near(seconds);
  while (seconds_of(n) > seconds) --n;
  while (seconds_of(n + 1) <= seconds) ++n;
  return seconds_of(n);
}

double table_seconds_up(double seconds) {
  std::int64_t n = nanoseconds_near(seconds);
  while (seconds_of(n) < seconds) ++n;
  while (seconds_of(n - 1) >= seconds) --n;
  return seconds_of(n);
}

std::string format_table_seconds(double seconds) {
  const std::int64_t n = nanoseconds_near(seconds);
  const std::uint64_t magnitude =
      n < 0 ? static_cast<std::uint64_t>(-n) : static_cast<std::uint64_t>(n);
  const auto whole = static_cast<unsigned long long>(magnitude / 1000000000u);
  const auto fraction = static_cast<unsigned long long>(magnitude % 1000000000u);
  return format_text("%s%llu.%09llu", n < 0 ? "-" : "", whole, fraction);
}

}  // namespace pelmora
