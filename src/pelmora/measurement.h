// The Pelmora library for whole measurements: a Photon-HDF5 file read into a
// Measurement, its background rates and bursts, the photons each burst
// analyses, and the joint likelihood of D over the bursts.  Like
// pelmora/analysis.h, every function is a function of its arguments and
// reports failure as a pelmora::Error.
//
//   const pelmora::Measurement m = pelmora::read_photon_hdf5("measurement.h5");
//   const pelmora::BurstSearchOptions search;  // m = 10, F = 6, 30 photons
//   const auto found = pelmora::search_bursts(
//       m, search, pelmora::estimate_background(m, search.background_window_s));
//   std::vector<pelmora::PhotonList> bursts;
//   for (const pelmora::Burst& b : found.bursts)
//     bursts.push_back(pelmora::burst_photon_list(m, b.window, pelmora::silent_observer()));
//   const pelmora::JointScan joint = pelmora::scan_bursts(
//       pointers_to(bursts), pelmora::log_spaced_coefficients(1e-16, 1e-13, 21),
//       pelmora::derive_settings({}), {}, pelmora::silent_observer());
#pragma once

#include "bursts/background.h"
#include "bursts/background_choice.h"
#include "bursts/burst.h"
#include "bursts/burst_export.h"
#include "bursts/burst_photons.h"
#include "bursts/burst_search.h"
#include "bursts/burst_table.h"
#include "bursts/joint_likelihood.h"
#include "bursts/parameter_scan.h"
#include "bursts/shard.h"
#include "input/measurement.h"
#include "input/photon_hdf5.h"
#include "pelmora/analysis.h"

namespace pelmora {

// The photon record a burst analyses: exactly the record the single-record
// program reads from the burst's exported photon file (burst_photon_text),
// simultaneous photons and their warnings included.  A burst of fewer than 3
// photons gives a short record (the scan leaves it out); a burst whose
// moved photons pass their successors, which a photon file could not hold,
// is refused (kInput).
PhotonList burst_photon_list(const Measurement& measurement, const BurstWindow& window,
                             Observer& observer);

// The same for photons already selected (burst_photons).
PhotonList burst_photon_list(const BurstPhotons& photons, Observer& observer);

}  // namespace pelmora
