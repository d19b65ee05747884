// The engine in its plainest form, kept for tests: both passes over the
// photons store every row in full matrices, each grid slice is then
// propagated from its photon's row, and log L is summed from the two
// matrices.  The production engine schedules the same arithmetic differently
// (fused passes, threads, checkpoints); its results must match these bit for
// bit.
#pragma once

#include "numeric/indexed_array.h"
#include "support/engine_fixture.h"

namespace pelmora::testing {

struct ReferencePhotonRows {
  DMatrix forward;   // rows 0..N-1
  DMatrix backward;  // rows 0..N-1
};

// Rows as a trajectory-mode run stores them (weighted by the photon's own
// colour) or as a scan-mode run stores them (before it).  Uses the fixture's
// workspace and diff_coeff.
ReferencePhotonRows reference_photon_rows(EngineFixture& setup, bool weighted);

// The forward and backward rows of a trajectory-mode run's time slices.
void reference_grid_scans(EngineFixture& setup, const ReferencePhotonRows& rows,
                          DMatrix& grid_forward, DMatrix& grid_backward);

struct ReferenceRun {
  double log_likelihood = 0.0;
  int boundary_photons = 0;
};

// log L and the boundary count of one scan-mode run with the fixture's diff_coeff.
ReferenceRun reference_likelihood_run(EngineFixture& setup);

}  // namespace pelmora::testing
