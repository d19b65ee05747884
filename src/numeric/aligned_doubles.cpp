#include "numeric/aligned_doubles.h"

#include <algorithm>

#include "base/error.h"

namespace pelmora {

AlignedDoubles::AlignedDoubles(std::size_t count) {
  if (count == 0) return;
  if (count > static_cast<std::size_t>(-1) / sizeof(double)) {
    throw_allocation_failure("in lane storage");
  }
  void* block = ::operator new[](count * sizeof(double), std::align_val_t{64}, std::nothrow);
  if (block == nullptr) throw_allocation_failure("in lane storage");
  data_ = std::unique_ptr<double[], Release>(static_cast<double*>(block));
  size_ = count;
  std::fill_n(data_.get(), count, 0.0);
}

}  // namespace pelmora
