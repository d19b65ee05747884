#pragma once

#include <span>
#include <vector>

#include "state/analysis_results.h"
#include "state/distance_grid.h"
#include "state/engine_options.h"
#include "state/observer.h"
#include "state/photon_list.h"

namespace pelmora {

// The runs of a likelihood scan over several photon records: one run per
// record and coefficient, record after record.
struct LikelihoodTable {
  int records = 0;
  int runs = 0;
  std::vector<CoefficientRun> cells;  // cells[record * runs + run]

  const CoefficientRun& at(int record, int run) const {
    return cells[static_cast<std::size_t>(record) * static_cast<std::size_t>(runs) +
                 static_cast<std::size_t>(run)];
  }
};

// log L of every record for every coefficient (m^2/s), computed by the
// engine's worker threads and reported to the observer one run after the
// other, record after record.  A record that cannot be analysed (fewer than
// 3 photons, colours no grid point allows) has all its runs left out with the
// reason; a run whose distribution collapses is left out alone.  Throws
// kCancelled when the observer asks to stop, and whatever a worker met (for
// example an allocation failure) when the report reaches that run.
LikelihoodTable scan_records(std::span<const PhotonList* const> records,
                             std::span<const double> coefficients, const DistanceGrid& grid,
                             const EngineOptions& engine, Observer& observer);

// Scan mode of one record: refuses a scan in which no run is left
// (kComputation); P(D) normalised over the runs.  The caller refuses colours
// the grid cannot explain first (check_photon_colours).
LikelihoodScanResult compute_likelihood_scan(const PhotonList& photons,
                                             std::span<const double> coefficients,
                                             const DistanceGrid& grid, const EngineOptions& engine,
                                             Observer& observer);

}  // namespace pelmora
