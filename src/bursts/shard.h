// Sharing one burst table among k runs: run i of k (1-based, as the user
// writes "--shard i/k") analyses the bursts at 0-based table positions b with
// b mod k = i - 1, so that the k runs together cover every burst once and
// each gets bursts from the whole measurement.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace pelmora {

struct Shard {
  long long index = 1;  // i, 1..count
  long long count = 1;  // k
};

// Parses "i/k" (whole numbers, 1 <= i <= k, nothing else); throws kOption
// with the text shown.
Shard parse_shard(std::string_view text);

bool in_shard(std::size_t position, const Shard& shard);

// The table positions of the shard's bursts among `burst_count`, ascending.
std::vector<std::size_t> shard_positions(std::size_t burst_count, const Shard& shard);

}  // namespace pelmora
