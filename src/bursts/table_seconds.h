// Times of the burst table: seconds with nine decimals.  A burst's photons are
// chosen by comparing each photon's time in seconds against the table's two
// numbers, so the numbers written must never cut a photon off: a start is
// rounded down and a stop up to the nanosecond.  Every value these functions
// return is exactly the double that its written text parses back to, so that
// a burst list held in memory and the same list read back from its table
// select the same photons.
#pragma once

#include <string>

namespace pelmora {

// Largest |time| the table can carry: the nanosecond count must stay below
// 2^53, where every whole number is a double (about 104 days).
inline constexpr double kMaxTableSeconds = 9.0e6;

// The largest nine-decimal value whose double is <= seconds.  Throws kInput
// for a time that is not finite or beyond kMaxTableSeconds.
double table_seconds_down(double seconds);
// The smallest nine-decimal value whose double is >= seconds.
double table_seconds_up(double seconds);

// The nine-decimal text of a value returned by the two functions above
// ("12.000345000", "-0.000000001"); for any other value the text of the
// nearest nanosecond.
std::string format_table_seconds(double seconds);

}  // namespace pelmora
