#include "input/detector_tally.h"

#include <algorithm>

namespace pelmora {

DetectorTally::DetectorTally(const std::vector<std::int64_t>& donor_detectors,
                             const std::vector<std::int64_t>& acceptor_detectors)
    : donor_detectors_(donor_detectors), acceptor_detectors_(acceptor_detectors) {
  table_.fill(-1);
}

std::size_t DetectorTally::add(std::int64_t detector) {
  auto listed = [detector](const std::vector<std::int64_t>& ids) {
    return std::find(ids.begin(), ids.end(), detector) != ids.end();
  };
  Entry entry;
  entry.counts.detector = detector;
  entry.channel = listed(donor_detectors_)      ? Channel::kDonor
                  : listed(acceptor_detectors_) ? Channel::kAcceptor
                                                : Channel::kOther;
  entries_.push_back(entry);
  return entries_.size() - 1;
}

std::vector<DetectorCount> DetectorTally::counts() const {
  std::vector<DetectorCount> counts;
  counts.reserve(entries_.size());
  for (const Entry& entry : entries_) counts.push_back(entry.counts);
  std::sort(counts.begin(), counts.end(),
            [](const DetectorCount& a, const DetectorCount& b) { return a.detector < b.detector; });
  return counts;
}

}  // namespace pelmora
