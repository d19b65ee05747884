// The free energy in which the dye-to-dye distance diffuses: free diffusion
// (the default, no potential at all), or one of the confined models whose
// equilibrium density P_eq(r) the propagator keeps stationary.
//
//   free        no potential; the grid extends past the chosen range
//   chain:RMS   Gaussian chain, P_eq(r) ~ r^2 exp(-3 r^2 / (2 RMS^2)), RMS in nm
//   box:A:B     flat between reflecting walls at A and B nm
//   pmf:FILE    a tabulated P_eq(r) (distance in nm, density), interpolated
//               linearly between the points and 0 outside them
//
// `chain:FROM:TO:COUNT` scans RMS too (ModelScan).
#pragma once

#include <string>
#include <vector>

namespace pelmora {

enum class ModelKind { kFree, kChain, kBox, kTable };

struct DistanceModel {
  ModelKind kind = ModelKind::kFree;
  std::string text = "free";  // as the user gave it
  double rms = 0;             // chain, nm
  double lower = 0;           // box walls, nm
  double upper = 0;
  std::vector<double> table_r;        // pmf, nm, increasing, at least 3
  std::vector<double> table_density;  // pmf, >= 0, not all 0

  bool confined() const { return kind != ModelKind::kFree; }
};

// A model, or the family of models a scanned parameter spans.
struct ModelScan {
  std::string text = "free";          // as the user gave it
  std::vector<DistanceModel> models;  // one, or one per parameter value
  std::string parameter;              // "rms_nm" when scanned, else empty
  std::vector<double> parameter_values;

  bool scanned() const { return !parameter.empty(); }
};

}  // namespace pelmora
