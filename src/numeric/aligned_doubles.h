// Doubles in one block that starts at a multiple of 64 bytes (a cache line,
// and the width of the widest vector register), for the lane kernels.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace pelmora {

class AlignedDoubles {
 public:
  AlignedDoubles() = default;
  // `count` doubles, all 0; on exhaustion throws the allocation failure
  // "in lane storage".
  explicit AlignedDoubles(std::size_t count);

  double* data() { return data_.get(); }
  const double* data() const { return data_.get(); }
  std::size_t size() const { return size_; }

 private:
  struct Release {
    void operator()(double* block) const { ::operator delete[](block, std::align_val_t{64}); }
  };
  std::unique_ptr<double[], Release> data_;
  std::size_t size_ = 0;
};

}  // namespace pelmora
