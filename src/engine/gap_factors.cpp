#include "engine/gap_factors.h"

namespace pelmora {

void GapFactors::prepare(int gaps, int modes) {
  const std::size_t count = static_cast<std::size_t>(gaps);
  modes_ = static_cast<std::size_t>(modes);
  if (values_.size() < count * modes_) values_.resize(count * modes_);
  if (capacity_ < count) {
    state_.reset();
    capacity_ = 0;
    state_ = std::make_unique<std::atomic<int>[]>(count);
    capacity_ = count;
  }
  for (std::size_t g = 0; g < count; ++g) state_[g].store(kEmpty, std::memory_order_relaxed);
}

const double* GapFactors::find(int g, int& count) const {
  const int state = state_[static_cast<std::size_t>(g)].load(std::memory_order_acquire);
  if (state < 0) return nullptr;
  count = state;
  return values_.data() + static_cast<std::size_t>(g) * modes_;
}

bool GapFactors::claim(int g) {
  int expected = kEmpty;
  return state_[static_cast<std::size_t>(g)].compare_exchange_strong(
      expected, kClaimed, std::memory_order_acq_rel, std::memory_order_acquire);
}

void GapFactors::publish(int g, int count) {
  state_[static_cast<std::size_t>(g)].store(count, std::memory_order_release);
}

}  // namespace pelmora
