#include "engine/step_factor_cache.h"

#include <algorithm>
#include <bit>

namespace pelmora {

namespace {

constexpr std::size_t kFirstEntries = 64;

}  // namespace

StepFactorCache::StepFactorCache(std::size_t value_capacity, std::size_t largest)
    : value_capacity_(std::max(value_capacity, largest)), largest_(largest) {}

std::size_t StepFactorCache::slot_of(std::uint64_t diff_coeff, std::uint64_t dt) const {
  std::uint64_t h = dt * 0x9e3779b97f4a7c15u ^ diff_coeff;
  h ^= h >> 29;
  h *= 0xbf58476d1ce4e5b9u;
  h ^= h >> 32;
  return static_cast<std::size_t>(h) & (entries_.size() - 1);
}

const double* StepFactorCache::find(double diff_coeff, double dt, int& count) const {
  if (entries_.empty()) return nullptr;
  const std::uint64_t d = std::bit_cast<std::uint64_t>(diff_coeff);
  const std::uint64_t t = std::bit_cast<std::uint64_t>(dt);
  for (std::size_t s = slot_of(d, t);; s = (s + 1) & (entries_.size() - 1)) {
    const Entry& entry = entries_[s];
    if (entry.count < 0) return nullptr;
    if (entry.diff_coeff == d && entry.dt == t) {
      count = entry.count;
      return values_.data() + entry.offset;
    }
  }
}

void StepFactorCache::clear() {
  for (Entry& entry : entries_) entry.count = -1;
  used_values_ = 0;
  used_entries_ = 0;
}

void StepFactorCache::make_room() {
  if (used_values_ + largest_ > values_.size()) {
    if (values_.size() >= value_capacity_) {
      clear();
    } else {
      // Entries keep their offsets: the values are only moved.
      values_.resize(std::min(value_capacity_, std::max(2 * values_.size(), 16 * largest_)));
    }
  }
  if (2 * (used_entries_ + 1) > entries_.size() && entries_.size() >= 2 * value_capacity_) {
    clear();  // entries of few values each: as many as there are values at most
  }
  if (2 * (used_entries_ + 1) > entries_.size()) {
    std::vector<Entry> old(std::max(2 * entries_.size(), kFirstEntries));
    old.swap(entries_);
    for (const Entry& entry : old) {
      if (entry.count < 0) continue;
      std::size_t s = slot_of(entry.diff_coeff, entry.dt);
      while (entries_[s].count >= 0) s = (s + 1) & (entries_.size() - 1);
      entries_[s] = entry;
    }
  }
}

double* StepFactorCache::reserve(double diff_coeff, double dt) {
  make_room();
  const std::uint64_t d = std::bit_cast<std::uint64_t>(diff_coeff);
  const std::uint64_t t = std::bit_cast<std::uint64_t>(dt);
  std::size_t s = slot_of(d, t);
  while (entries_[s].count >= 0) s = (s + 1) & (entries_.size() - 1);
  entries_[s].diff_coeff = d;
  entries_[s].dt = t;
  entries_[s].offset = used_values_;
  pending_ = s;
  return values_.data() + used_values_;
}

void StepFactorCache::commit(int count) {
  entries_[pending_].count = count;
  used_values_ += static_cast<std::size_t>(count);
  ++used_entries_;
}

}  // namespace pelmora
