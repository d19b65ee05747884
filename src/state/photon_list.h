#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "numeric/indexed_array.h"

namespace pelmora {

inline constexpr int kDonorPhoton = 1;
inline constexpr int kAcceptorPhoton = 2;

// The shares of a record's analysed photons whose colour owes nothing to the
// distance: those the background is expected to have given, by channel, and
// the acceptor photons of the acceptor excited directly by the donor laser.
struct BackgroundShares {
  double donor = 0;
  double acceptor = 0;
  double direct = 0;  // direct excitation: acceptor channel
};

// A record's colour probabilities with those photons mixed in, on one grid
// (entries 0..M-1): P(acceptor | r) = (1 - fD - fA - fdir) P*(A | r) + fA +
// fdir and P(donor | r) = (1 - fD - fA - fdir) P*(D | r) + fD, where P*(A | r)
// is the grid's acceptor probability (E(r) for a perfect setup).
struct MixedColours {
  BackgroundShares shares;
  DVector donor;
  DVector acceptor;
};

// A photon record: arrival times in mu s, non-decreasing, each a
// single-precision value held as a double, and the colour of every photon.
// Read-only once built.
struct PhotonList {
  std::vector<double> photon_times;       // mu s
  std::vector<std::int8_t> photon_types;  // kDonorPhoton or kAcceptorPhoton
  int photon_count = 0;
  int donor_count = 0;
  int acceptor_count = 0;
  double start_time = 0.0;  // mu s, photon_times[0]
  double end_time = 0.0;    // mu s, photon_times[photon_count - 1]
  // Colour probabilities that replace the grid's for this record (the
  // background mixed in); none: the grid's own.
  std::shared_ptr<const MixedColours> colours;
};

// Builds a PhotonList photon by photon with the rules every source of photons
// shares: times are taken in single precision, a time earlier than the one
// before is refused, and a photon at the same time as the one before is moved
// 0.01 mu s later (in single precision, so that from 262144 mu s on the shift
// is lost to rounding) with a warning.
class PhotonListBuilder {
 public:
  enum class Outcome { kAdded, kShifted, kNotSorted };

  // Empties `list` and fills it from then on; `list` must outlive the builder.
  explicit PhotonListBuilder(PhotonList& list);

  void reserve(std::size_t photons);
  // Adds one photon of a finite time; kNotSorted leaves the list unchanged.
  // The list is complete after every call: counts, start and end time.
  Outcome add(float time, bool acceptor);

 private:
  PhotonList& list_;
  float previous_ = -1e30f;
};

// The warning sentence of a shifted photon, with its time before the shift.
std::string simultaneous_photons_warning(float time);

}  // namespace pelmora
