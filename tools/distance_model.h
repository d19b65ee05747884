// The free energy in which a simulated molecule's dye-to-dye distance
// diffuses (--model of simulate_measurement), in units of kT:
//
//   free        flat between reflecting walls at --rmin and --rmax
//   box:A:B     flat between reflecting walls at A and B nm
//   chain:RMS   Gaussian chain, U(r) = -2 ln r + 3 r^2 / (2 RMS^2), RMS in nm
//   pmf:FILE    a tabulated equilibrium density P_eq(r) (two columns: nm and
//               density), interpolated linearly, U = -ln P_eq
//
// The model is the library's (state/distance_model.h), read by its parser.
// A flat model is walked with Gaussian steps folded back at the walls, which
// is exact for any step.  A potential is walked by Brownian dynamics (drift
// -D dU/dr) with a Metropolis test on each step: the test keeps P_eq exactly
// stationary however steep the potential (the -2 ln r wall at r = 0, a
// table whose density falls to zero), and it rejects hardly any step of the
// short length used, so the dynamics is that of the Smoluchowski equation.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "base/error.h"
#include "input/distance_model_text.h"
#include "random_source.h"

namespace {

// The walk of one molecule's distance in the library's model
// (state/distance_model.h, read by its parser): the flat models (free and
// box) between their walls, the others in their potential.
class DistanceWalk {
 public:
  // Parses the --model text as the analysis does; throws
  // std::invalid_argument with the reason.
  static pelmora::DistanceModel parse(const std::string& text) {
    try {
      return pelmora::parse_distance_model(text);
    } catch (const pelmora::Error& error) {
      throw std::invalid_argument(error.message());
    }
  }

  // `rmin` and `rmax` are the walls of free diffusion (the simulator's
  // --rmin and --rmax); a box has its own.
  DistanceWalk(pelmora::DistanceModel model, double rmin, double rmax)
      : model_(std::move(model)), lower_(rmin), upper_(rmax) {
    if (const auto* box = std::get_if<pelmora::FlatBox>(&model_.shape)) {
      lower_ = box->lower;
      upper_ = box->upper;
    }
  }

  const pelmora::DistanceModel& model() const { return model_; }
  const std::string& text() const { return model_.text; }
  // Flat between the walls: walked with folded Gaussian steps.
  bool flat() const {
    return std::visit(pelmora::Overloaded{[](const pelmora::FreeDiffusion&) { return true; },
                                          [](const pelmora::FlatBox&) { return true; },
                                          [](const pelmora::GaussianChain&) { return false; },
                                          [](const pelmora::TabulatedDensity&) { return false; }},
                      model_.shape);
  }
  // The walls of a flat model.
  double lower() const { return lower_; }
  double upper() const { return upper_; }

  // U(r) / kT up to a constant; +infinity where P_eq(r) = 0.
  double energy(double r) const {
    return std::visit(
        pelmora::Overloaded{[&](const pelmora::FreeDiffusion&) { return flat_energy(r); },
                            [&](const pelmora::FlatBox&) { return flat_energy(r); },
                            [&](const pelmora::GaussianChain& chain) {
                              if (!(r > 0)) return kInfinity;
                              return -2.0 * std::log(r) + 1.5 * r * r / (chain.rms * chain.rms);
                            },
                            [&](const pelmora::TabulatedDensity& table) {
                              const double p = density(table, r);
                              return p > 0 ? -std::log(p) : kInfinity;
                            }},
        model_.shape);
  }

  // dU/dr / kT where P_eq(r) > 0.
  double slope(double r) const {
    return std::visit(pelmora::Overloaded{[](const pelmora::FreeDiffusion&) { return 0.0; },
                                          [](const pelmora::FlatBox&) { return 0.0; },
                                          [&](const pelmora::GaussianChain& chain) {
                                            return -2.0 / r + 3.0 * r / (chain.rms * chain.rms);
                                          },
                                          [&](const pelmora::TabulatedDensity& table) {
                                            return -segment_slope(table, segment(table, r)) /
                                                   density(table, r);
                                          }},
                      model_.shape);
  }

  // A distance drawn from P_eq.
  double draw(RandomSource& random) const {
    return std::visit(
        pelmora::Overloaded{[&](const pelmora::FreeDiffusion&) { return flat_draw(random); },
                            [&](const pelmora::FlatBox&) { return flat_draw(random); },
                            [&](const pelmora::GaussianChain& chain) {
                              // The length of a vector of three independent normal components
                              // of variance RMS^2 / 3 has exactly the chain's P_eq.
                              const double x = random.normal(), y = random.normal(),
                                           z = random.normal();
                              return chain.rms / std::sqrt(3.0) * std::sqrt(x * x + y * y + z * z);
                            },
                            [&](const pelmora::TabulatedDensity& table) {
                              const double peak =
                                  *std::max_element(table.density.begin(), table.density.end());
                              const double low = table.r.front(), high = table.r.back();
                              while (true) {
                                const double r = low + (high - low) * random.uniform();
                                if (random.uniform() * peak < density(table, r)) return r;
                              }
                            }},
        model_.shape);
  }

  // The standard deviation of P_eq (nm): the length on which the potential
  // changes, which the walk's steps must stay well below.
  double spread() const {
    return std::visit(
        pelmora::Overloaded{
            [&](const pelmora::FreeDiffusion&) { return (upper_ - lower_) / std::sqrt(12.0); },
            [&](const pelmora::FlatBox&) { return (upper_ - lower_) / std::sqrt(12.0); },
            [](const pelmora::GaussianChain& chain) {
              return chain.rms * std::sqrt(1.0 - 8.0 / (3.0 * std::numbers::pi));
            },
            [](const pelmora::TabulatedDensity& table) { return table_spread(table); }},
        model_.shape);
  }

 private:
  static constexpr double kInfinity = std::numeric_limits<double>::infinity();

  double flat_energy(double r) const { return r >= lower_ && r <= upper_ ? 0.0 : kInfinity; }
  double flat_draw(RandomSource& random) const {
    return lower_ + (upper_ - lower_) * random.uniform();
  }

  // The table's segment [r_i, r_i+1] that holds r (the last one for its end).
  static std::size_t segment(const pelmora::TabulatedDensity& table, double r) {
    const std::vector<double>& x = table.r;
    const std::size_t above =
        static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), r) - x.begin());
    return std::min(std::max<std::size_t>(above, 1), x.size() - 1) - 1;
  }
  static double segment_slope(const pelmora::TabulatedDensity& table, std::size_t i) {
    return (table.density[i + 1] - table.density[i]) / (table.r[i + 1] - table.r[i]);
  }
  static double density(const pelmora::TabulatedDensity& table, double r) {
    if (!(r >= table.r.front() && r <= table.r.back())) return 0.0;
    const std::size_t i = segment(table, r);
    return std::max(0.0, table.density[i] + segment_slope(table, i) * (r - table.r[i]));
  }
  static double table_spread(const pelmora::TabulatedDensity& table) {
    double mass = 0, first = 0, second = 0;
    for (std::size_t i = 0; i + 1 < table.r.size(); ++i) {
      constexpr int kParts = 64;
      const double width = (table.r[i + 1] - table.r[i]) / kParts;
      for (int k = 0; k < kParts; ++k) {
        const double r = table.r[i] + (k + 0.5) * width;
        const double p = density(table, r) * width;
        mass += p;
        first += p * r;
        second += p * r * r;
      }
    }
    const double mean = first / mass;
    return std::sqrt(std::max(0.0, second / mass - mean * mean));
  }

  pelmora::DistanceModel model_;
  double lower_;
  double upper_;
};

// One Brownian-dynamics step of r in the model's potential over dt (µs), D
// in nm^2/µs: the proposal r - D U'(r) dt + sqrt(2 D dt) xi, accepted with
// the Metropolis-Hastings probability of that proposal (its reverse
// included), else r stays.  Two random numbers every step, accepted or not.
double step_in_potential(double r, double dt, double diffusion, const DistanceWalk& model,
                         RandomSource& random) {
  const double spread = 2.0 * diffusion * dt;
  if (!(spread > 0)) return r;
  const double drift = -diffusion * model.slope(r) * dt;
  const double proposal = r + drift + std::sqrt(spread) * random.normal();
  const double accept = random.uniform();
  const double energy = model.energy(proposal);
  if (!std::isfinite(energy)) return r;
  const double forward = proposal - r - drift;
  const double backward = r - proposal + diffusion * model.slope(proposal) * dt;
  const double log_ratio =
      model.energy(r) - energy + (forward * forward - backward * backward) / (2.0 * spread);
  return std::log(accept) < log_ratio ? proposal : r;
}

}  // namespace
