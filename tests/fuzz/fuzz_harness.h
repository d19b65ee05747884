// The work of the fuzz targets, kept apart from libFuzzer so that the
// regression test can replay stored inputs through the very same checks.
// Each function feeds one input to a parser core and returns a description
// of every broken invariant, or an empty text when all held.  An exception
// other than pelmora::Error escapes, and is a finding too.
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

// The input chooses, byte by byte, the fields, types, shapes and values of
// a Photon-HDF5 file (hostile storage and links included) and the user's
// overrides; the file is built in memory and read.
std::string exercise_photon_hdf5(std::span<const std::uint8_t> input);

// The input is a burst table, parsed whole and read line by line within
// bounds; both must agree.
std::string exercise_burst_table(std::span<const std::uint8_t> input);

// The input is a potential table (pmf:FILE).
std::string exercise_pmf_table(std::span<const std::uint8_t> input);

// The input is a share of a scan (combine's input).
std::string exercise_share(std::span<const std::uint8_t> input);

// The input is a --model text and a --background text.
std::string exercise_model_text(std::span<const std::uint8_t> input);

}  // namespace pelmora::fuzzing
