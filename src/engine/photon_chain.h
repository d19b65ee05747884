// The chain of propagations along the photon record, in either direction.
//
// Between photons the distance diffuses; at each photon its colour weights
// every grid point by how likely that colour is there.  The chain carries one
// vector: the distribution at the current photon given the photons passed so
// far (`propagated`, normalised to sum 1) and the same weighted by the current
// photon's colour (`weighted`).  At the first photon both are its colour
// probability normalised.  The forward chain runs from the first photon to
// the last, the backward chain from the last to the first; every step is one
// propagation over the time between the two photons.
#pragma once

#include <span>

#include "engine/lane_propagator.h"
#include "engine/propagator.h"
#include "numeric/indexed_array.h"
#include "state/distance_grid.h"
#include "state/photon_list.h"

namespace pelmora {

enum class ScanDirection { kForward, kBackward };

class PhotonChain {
 public:
  // Propagates `photons` on `grid`, both of which must outlive the chain (or
  // be replaced before it next starts); each chain propagates with its own
  // workspace.
  PhotonChain(const DistanceGrid& grid, const PhotonList& photons, ScanDirection direction,
              FftWorkspace& workspace, double diff_coeff);

  // The coefficient of the next propagations, m^2/s.
  void set_diff_coeff(double diff_coeff) { diff_coeff_ = diff_coeff; }
  // The photon record of the next start().
  void set_photons(const PhotonList& photons) { photons_ = &photons; }
  const PhotonList& photons() const { return *photons_; }

  ScanDirection direction() const { return direction_; }
  // The first photon of the chain and the one after photon k in its direction.
  int first_photon() const;
  int next_photon(int k) const { return direction_ == ScanDirection::kForward ? k + 1 : k - 1; }

  // Starts at the first photon.  False when its colour rules out every point.
  [[nodiscard]] bool start();
  // Carries the weighted vector of the current photon to photon `k` (the next
  // one in the chain's direction) and weights it by k's colour.  False when
  // nothing was left to carry.  With `row` (M entries) the propagated vector
  // is written there instead of into the chain, and propagated() shows it
  // there until the next step: a row that is to be kept needs no copy.
  [[nodiscard]] bool advance(int k, std::span<double> row = {});

  // The same for a step taken elsewhere (in a lane beside other chains'
  // steps, engine/lane_propagator.h): the step start() takes, and once it
  // has succeeded, started(); the step advance(k, row) takes, weighting
  // included (take_step), which needs nothing after it.
  LaneStep start_step();
  void started();
  LaneStep step_to(int k, std::span<double> row = {});
  // Continues from a weighted vector that an earlier pass left at photon k.
  void resume(int k, std::span<const double> weighted);

  int photon() const { return photon_; }
  // The most negative propagated weight since start(), 0 if none.
  double most_negative() const { return most_negative_; }
  std::span<const double> propagated() const { return propagated_row_; }
  std::span<const double> weighted() const { return weighted_.span().first(bins_); }

 private:
  const DistanceGrid& grid_;
  const PhotonList* photons_;
  ScanDirection direction_;
  FftWorkspace& workspace_;
  double diff_coeff_;
  std::size_t bins_;
  int photon_ = -1;
  double most_negative_ = 0.0;
  DVector weighted_;                        // a: carried from photon to photon
  DVector propagated_;                      // s: the propagation result
  std::span<const double> propagated_row_;  // where the last one went
};

// Negative weights beyond this, in a distribution that sums to 1, mean that
// the convolution's rounding residue (about 1e-15) has been amplified a
// billion-fold: the result is not to be trusted.
inline constexpr double kResidueTolerance = 1e-6;

}  // namespace pelmora
