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
// The kinds are the alternatives of one std::variant, and every place that
// treats them differently does so with std::visit over an Overloaded set
// that names each kind (never a generic or default branch): a new kind does
// not compile until each of those places says what it means for it.
//
// `chain:FROM:TO:COUNT` scans RMS too (ModelScan).
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace pelmora {

struct FreeDiffusion {
  bool operator==(const FreeDiffusion&) const = default;
};

struct GaussianChain {
  double rms = 0;  // nm
  bool operator==(const GaussianChain&) const = default;
};

struct FlatBox {
  double lower = 0;  // nm, the walls
  double upper = 0;
  bool operator==(const FlatBox&) const = default;
};

struct TabulatedDensity {
  std::vector<double> r;        // nm, increasing, at least 3
  std::vector<double> density;  // >= 0, not all 0
  bool operator==(const TabulatedDensity&) const = default;
};

using ModelShape = std::variant<FreeDiffusion, GaussianChain, FlatBox, TabulatedDensity>;

// A visitor from one lambda per kind: std::visit(Overloaded{...}, shape).
template <typename... Kinds>
struct Overloaded : Kinds... {
  using Kinds::operator()...;
};
template <typename... Kinds>
Overloaded(Kinds...) -> Overloaded<Kinds...>;

struct DistanceModel {
  ModelShape shape;
  std::string text = "free";  // as the user gave it

  // Whether the model has a potential (every kind but free diffusion).
  bool confined() const {
    return std::visit(
        Overloaded{[](const FreeDiffusion&) { return false; },
                   [](const GaussianChain&) { return true; }, [](const FlatBox&) { return true; },
                   [](const TabulatedDensity&) { return true; }},
        shape);
  }
  bool operator==(const DistanceModel&) const = default;
};

// A model, or the family of models a scanned parameter spans.
struct ModelScan {
  std::string text = "free";              // as the user gave it
  std::vector<DistanceModel> models{{}};  // one, or one per parameter value
  std::string parameter;                  // "rms_nm" when scanned, else empty
  std::vector<double> parameter_values;

  bool scanned() const { return !parameter.empty(); }
  bool confined() const { return models.front().confined(); }
  bool operator==(const ModelScan&) const = default;
};

}  // namespace pelmora
