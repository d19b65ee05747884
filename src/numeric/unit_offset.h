// The FFT routines are written for arrays whose first element carries index 1.
// This view gives them that indexing without ever forming a pointer in front
// of the block (which would be undefined behaviour).
#pragma once

namespace pelmora {

template <typename T>
class UnitOffset {
 public:
  explicit UnitOffset(T* first) : first_(first) {}
  T& operator[](int i) const { return first_[i - 1]; }

 private:
  T* first_;
};

// True for 1, 2, 4, 8, ...
constexpr bool is_power_of_two(int n) {
  return n > 0 && (n & (n - 1)) == 0;
}

}  // namespace pelmora
