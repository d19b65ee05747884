#include "bursts/shard.h"

#include <charconv>
#include <string>

#include "base/error.h"

namespace pelmora {

namespace {

constexpr std::size_t kQuoteLimit = 32;

[[noreturn]] void refuse(std::string_view text, const char* reason) {
  std::string shown(text.substr(0, kQuoteLimit));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) c = '?';
  }
  if (text.size() > kQuoteLimit) shown += "...";
  throw Error(ErrorKind::kOption, "--shard takes i/k, whole numbers with 1 <= i <= k (" +
                                      std::string(reason) + ": '" + shown + "').");
}

// Plain decimal digits only: no sign, no blanks, no other base.
bool parse_count(std::string_view digits, long long& value) {
  if (digits.empty() || digits.front() < '0' || digits.front() > '9') return false;
  const char* const end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
  return ec == std::errc() && ptr == end;
}

}  // namespace

Shard parse_shard(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) refuse(text, "no '/'");
  Shard shard;
  if (!parse_count(text.substr(0, slash), shard.index) ||
      !parse_count(text.substr(slash + 1), shard.count)) {
    refuse(text, "not two whole numbers");
  }
  if (shard.count < 1 || shard.index < 1 || shard.index > shard.count) {
    refuse(text, "out of range");
  }
  return shard;
}

bool in_shard(std::size_t position, const Shard& shard) {
  return position % static_cast<unsigned long long>(shard.count) ==
         static_cast<unsigned long long>(shard.index - 1);
}

std::vector<std::size_t> shard_positions(std::size_t burst_count, const Shard& shard) {
  std::vector<std::size_t> positions;
  const auto step = static_cast<std::size_t>(shard.count);
  for (auto b = static_cast<std::size_t>(shard.index - 1); b < burst_count; b += step) {
    positions.push_back(b);
  }
  return positions;
}

}  // namespace pelmora
