// The exp factors of recent steps, by coefficient and time step: a confined
// model's factors exp(-lambda_k D dt) (mode_factors) or free diffusion's
// kernel weights (kernel_weights).  Both depend on D and dt alone, and the
// same two recur: the backward pass crosses every gap the forward pass
// crossed, and photon times in clock ticks repeat their spacings from burst
// to burst.  A hit hands back the very numbers that were computed, so the
// cache changes how often exp is called, never a bit of what it returns.
//
// The storage grows with use up to a bound; once an entry or its values no
// longer fit within it, the cache starts again empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pelmora {

class StepFactorCache {
 public:
  // Room for `value_capacity` doubles in all, at most `largest` per entry.
  StepFactorCache(std::size_t value_capacity, std::size_t largest);

  // The values stored for (diff_coeff, dt) and their count, or nullptr.
  const double* find(double diff_coeff, double dt, int& count) const;
  // Room for up to `largest` values of (diff_coeff, dt), which must not be
  // stored yet; commit(count) then keeps the first `count` of them.
  double* reserve(double diff_coeff, double dt);
  void commit(int count);

 private:
  struct Entry {
    std::uint64_t diff_coeff = 0;
    std::uint64_t dt = 0;
    std::size_t offset = 0;
    std::int32_t count = -1;  // -1: empty
  };
  std::size_t slot_of(std::uint64_t diff_coeff, std::uint64_t dt) const;
  void clear();
  // Room for one more entry: grows the storage or clears it.
  void make_room();

  std::size_t value_capacity_;
  std::size_t largest_;
  std::vector<double> values_;
  std::vector<Entry> entries_;  // open addressing, at most half full
  std::size_t used_values_ = 0;
  std::size_t used_entries_ = 0;
  std::size_t pending_ = 0;  // the slot reserve() filled in
};

}  // namespace pelmora
