// Reads the --model text (and, for pmf:FILE, the table it names).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "input/bounded_text.h"
#include "state/distance_model.h"

namespace pelmora {

// "free", "chain:RMS", "box:A:B" or "pmf:FILE".  Throws Error of kind kInput
// for an unknown model, RMS <= 0, A < 0 or A >= B, and a table that cannot
// be read, has a line that is not two numbers (named by its number), fewer
// than 3 points, distances that do not increase or are negative, negative
// densities or only zero densities; kIo when the file cannot be opened.
DistanceModel parse_distance_model(const std::string& text);

// The file a model text reads (FILE of "pmf:FILE"), if any.
std::optional<std::string> model_file(const std::string& text);

// A potential table (pmf:FILE) has at most this many points, each line at
// most 1 MiB, and at most 10^6 lines with its comments and blank lines.
inline constexpr std::size_t kMaxPotentialTablePoints = 100000;
inline constexpr TextBounds kPotentialTableBounds{std::size_t{1} << 20, 1000000};

// The points of a potential table, read from `text`, with the refusals of
// parse_distance_model.
TabulatedDensity read_potential_table(BoundedTextReader& text);

// As parse_distance_model, and "chain:FROM:TO:COUNT": COUNT values of RMS
// evenly spaced from FROM to TO (COUNT >= 2, 0 < FROM < TO).
ModelScan parse_model_scan(const std::string& text);

}  // namespace pelmora
