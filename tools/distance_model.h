// The free energy in which a simulated molecule's dye-to-dye distance
// diffuses (--model of simulate_measurement), in units of kT:
//
//   free        flat between reflecting walls at --rmin and --rmax
//   box:A:B     flat between reflecting walls at A and B nm
//   chain:RMS   Gaussian chain, U(r) = -2 ln r + 3 r^2 / (2 RMS^2), RMS in nm
//   pmf:FILE    a tabulated equilibrium density P_eq(r) (two columns: nm and
//               density), interpolated linearly, U = -ln P_eq
//
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
#include <vector>

#include "base/error.h"
#include "input/distance_model_text.h"
#include "random_source.h"

namespace {

class DistanceModel {
 public:
  enum class Kind { kFree, kBox, kChain, kTable };

  // Parses the --model text as the analysis does (input/distance_model_text.h);
  // throws std::invalid_argument with the reason.
  static DistanceModel parse(const std::string& text) {
    pelmora::DistanceModel parsed;
    try {
      parsed = pelmora::parse_distance_model(text);
    } catch (const pelmora::Error& error) {
      throw std::invalid_argument(error.message());
    }
    DistanceModel model;
    model.text_ = text;
    model.rms_ = parsed.rms;
    model.lower_ = parsed.lower;
    model.upper_ = parsed.upper;
    model.r_ = parsed.table_r;
    model.density_ = parsed.table_density;
    switch (parsed.kind) {
      case pelmora::ModelKind::kFree:
        model.kind_ = Kind::kFree;
        break;
      case pelmora::ModelKind::kChain:
        model.kind_ = Kind::kChain;
        break;
      case pelmora::ModelKind::kBox:
        model.kind_ = Kind::kBox;
        break;
      case pelmora::ModelKind::kTable:
        model.kind_ = Kind::kTable;
        break;
    }
    return model;
  }

  Kind kind() const { return kind_; }
  bool flat() const { return kind_ == Kind::kFree || kind_ == Kind::kBox; }
  const std::string& text() const { return text_; }
  // The walls of box:A:B.
  double lower() const { return lower_; }
  double upper() const { return upper_; }

  // U(r) / kT up to a constant; +infinity where P_eq(r) = 0.
  double energy(double r) const {
    if (kind_ == Kind::kChain) {
      if (!(r > 0)) return kInfinity;
      return -2.0 * std::log(r) + 1.5 * r * r / (rms_ * rms_);
    }
    const double p = density(r);
    return p > 0 ? -std::log(p) : kInfinity;
  }

  // dU/dr / kT where P_eq(r) > 0.
  double slope(double r) const {
    if (kind_ == Kind::kChain) return -2.0 / r + 3.0 * r / (rms_ * rms_);
    const std::size_t i = segment(r);
    return -segment_slope(i) / density(r);
  }

  // A distance drawn from P_eq (not for the flat models, which draw their own).
  double draw(RandomSource& random) const {
    if (kind_ == Kind::kChain) {
      // The length of a vector of three independent normal components of
      // variance RMS^2 / 3 has exactly the chain's P_eq.
      const double x = random.normal(), y = random.normal(), z = random.normal();
      return rms_ / std::sqrt(3.0) * std::sqrt(x * x + y * y + z * z);
    }
    const double peak = *std::max_element(density_.begin(), density_.end());
    const double low = r_.front(), high = r_.back();
    while (true) {
      const double r = low + (high - low) * random.uniform();
      if (random.uniform() * peak < density(r)) return r;
    }
  }

  // The standard deviation of P_eq (nm): the length on which the potential
  // changes, which the walk's steps must stay well below.
  double spread() const {
    if (kind_ == Kind::kChain) return rms_ * std::sqrt(1.0 - 8.0 / (3.0 * std::numbers::pi));
    if (kind_ != Kind::kTable) return (upper_ - lower_) / std::sqrt(12.0);
    double mass = 0, first = 0, second = 0;
    for (std::size_t i = 0; i + 1 < r_.size(); ++i) {
      constexpr int kParts = 64;
      const double width = (r_[i + 1] - r_[i]) / kParts;
      for (int k = 0; k < kParts; ++k) {
        const double r = r_[i] + (k + 0.5) * width;
        const double p = density(r) * width;
        mass += p;
        first += p * r;
        second += p * r * r;
      }
    }
    const double mean = first / mass;
    return std::sqrt(std::max(0.0, second / mass - mean * mean));
  }

 private:
  static constexpr double kInfinity = std::numeric_limits<double>::infinity();

  // The table's segment [r_i, r_i+1] that holds r (the last one for its end).
  std::size_t segment(double r) const {
    const std::size_t above =
        static_cast<std::size_t>(std::upper_bound(r_.begin(), r_.end(), r) - r_.begin());
    return std::min(std::max<std::size_t>(above, 1), r_.size() - 1) - 1;
  }
  double segment_slope(std::size_t i) const {
    return (density_[i + 1] - density_[i]) / (r_[i + 1] - r_[i]);
  }
  double density(double r) const {
    if (!(r >= r_.front() && r <= r_.back())) return 0.0;
    const std::size_t i = segment(r);
    return std::max(0.0, density_[i] + segment_slope(i) * (r - r_[i]));
  }

  Kind kind_ = Kind::kFree;
  std::string text_ = "free";
  double rms_ = 0;
  double lower_ = 0;
  double upper_ = 0;
  std::vector<double> r_;
  std::vector<double> density_;
};

// One Brownian-dynamics step of r in the model's potential over dt (µs), D
// in nm^2/µs: the proposal r - D U'(r) dt + sqrt(2 D dt) xi, accepted with
// the Metropolis-Hastings probability of that proposal (its reverse
// included), else r stays.  Two random numbers every step, accepted or not.
double step_in_potential(double r, double dt, double diffusion, const DistanceModel& model,
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
