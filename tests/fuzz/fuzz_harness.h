// The work of the two fuzz targets, kept apart from libFuzzer so that the
// regression test can replay stored inputs through the very same checks.
// Each function feeds one input to a parser core and returns a description
// of every broken invariant, or an empty text when all held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace pelmora::fuzzing {

// The input is split at NUL bytes into the argument list (the program name
// excluded), the way no shell could hand it over but exec can come close.
std::string exercise_command_line(std::span<const std::uint8_t> input);

// The input is a photon file.  It is parsed whole and again in blocks of
// pseudo-random sizes; both must give the same list, warnings and error.
std::string exercise_photon_parser(std::span<const std::uint8_t> input);

}  // namespace pelmora::fuzzing
