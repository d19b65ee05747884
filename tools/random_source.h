// Random numbers for the synthetic-data tools.  The output of a tool
// depends only on its options: the numbers come from std::mt19937_64
// through transformations written out here, not through the standard
// library's distributions, whose algorithms differ between implementations.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>

namespace {

class RandomSource {
 public:
  explicit RandomSource(std::uint64_t seed) : engine_(seed) {}

  // Uniform on [0, 1), from the top 53 bits.
  double uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }

  // Exponential waiting time with the given rate.
  double exponential(double rate) { return -std::log(1.0 - uniform()) / rate; }

  // Standard normal, by the Box-Muller transform; the second value of each
  // pair is kept for the next call.
  double normal() {
    if (has_spare_) {
      has_spare_ = false;
      return spare_;
    }
    const double radius = std::sqrt(-2.0 * std::log(1.0 - uniform()));
    const double angle = 2.0 * std::numbers::pi * uniform();
    spare_ = radius * std::sin(angle);
    has_spare_ = true;
    return radius * std::cos(angle);
  }

 private:
  std::mt19937_64 engine_;
  bool has_spare_ = false;
  double spare_ = 0.0;
};

// Folds r back into [lower, upper] as repeated reflections at both bounds would.
[[maybe_unused]] double reflect(double r, double lower, double upper) {
  const double width = upper - lower;
  double x = std::fmod(r - lower, 2.0 * width);
  if (x < 0) x += 2.0 * width;
  if (x > width) x = 2.0 * width - x;
  return lower + x;
}

}  // namespace
