// The factors exp(-lambda_k D dt) of a confined model's steps over the gaps
// between the photons of one run.  The forward pass crosses gap g (between
// photons g and g + 1) going up, the backward pass going down, with the same
// D and the same dt (the later time minus the earlier): the same factors,
// bit for bit.  Whichever pass crosses a gap first leaves them here for the
// other, which then calls exp for none of them.  Either pass may run on any
// thread; a pass that finds a gap claimed but not yet filled computes the
// factors itself.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

namespace pelmora {

class GapFactors {
 public:
  // Room for `gaps` gaps of up to `modes` factors each, every gap empty.
  // Storage only grows.  No pass may be running.
  void prepare(int gaps, int modes);

  // Gap g's factors and their count, once a pass has left them; else nullptr.
  const double* find(int g, int& count) const;
  // Claims gap g: true for the one caller that is then to fill slot(g) and
  // publish(g, count).
  bool claim(int g);
  double* slot(int g) { return values_.data() + static_cast<std::size_t>(g) * modes_; }
  void publish(int g, int count);

 private:
  static constexpr int kEmpty = -2;
  static constexpr int kClaimed = -1;
  std::size_t modes_ = 0;
  std::vector<double> values_;
  std::unique_ptr<std::atomic<int>[]> state_;  // kEmpty, kClaimed or the published count
  std::size_t capacity_ = 0;
};

}  // namespace pelmora
