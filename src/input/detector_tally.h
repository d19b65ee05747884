// Counts the photons of each detector id while telling, per photon, whether
// it belongs to the donor channel, the acceptor channel or neither.  Ids are
// arbitrary 64-bit numbers; the usual small ones (detectors stored as
// uint8) are looked up in a table, others in a hash map, so that a file
// with millions of distinct ids costs time, not quadratic time.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "input/measurement.h"

namespace pelmora {

enum class Channel : std::uint8_t { kOther, kDonor, kAcceptor };

class DetectorTally {
 public:
  DetectorTally(const std::vector<std::int64_t>& donor_detectors,
                const std::vector<std::int64_t>& acceptor_detectors);

  // Counts one photon of `detector` and returns its channel.
  Channel count(std::int64_t detector, bool donor_excited) {
    Entry& entry = entries_[index_of(detector)];
    ++entry.counts.photons;
    entry.counts.donor_excited += donor_excited ? 1 : 0;
    return entry.channel;
  }

  // Every id seen, ascending.
  std::vector<DetectorCount> counts() const;

 private:
  struct Entry {
    DetectorCount counts;
    Channel channel = Channel::kOther;
  };
  static constexpr std::int64_t kTableSize = 256;

  std::size_t index_of(std::int64_t detector) {
    if (detector >= 0 && detector < kTableSize) {
      std::int32_t& slot = table_[static_cast<std::size_t>(detector)];
      if (slot < 0) slot = static_cast<std::int32_t>(add(detector));
      return static_cast<std::size_t>(slot);
    }
    const auto [found, added] = others_.try_emplace(detector, entries_.size());
    if (added) add(detector);
    return found->second;
  }
  std::size_t add(std::int64_t detector);

  std::vector<std::int64_t> donor_detectors_;
  std::vector<std::int64_t> acceptor_detectors_;
  std::vector<Entry> entries_;
  std::array<std::int32_t, kTableSize> table_;
  std::unordered_map<std::int64_t, std::size_t> others_;
};

}  // namespace pelmora
