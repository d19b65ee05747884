#include "numeric/row_block.h"

#include <new>

#include "base/error.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pelmora {

namespace {

// Huge pages are 2 MiB on x86-64 and most other systems.  A block of several
// is aligned to them, so that all but its last one can be huge; a smaller
// block is not worth the alignment.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kHugeBlock = 4 * kHugePage;

void ask_for_huge_pages([[maybe_unused]] void* block, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only advice: where the system refuses, the block keeps small pages.
  (void)madvise(block, bytes, MADV_HUGEPAGE);
#endif
}

}  // namespace

void RowBlock::Release::operator()(double* block) const {
  if (huge) {
    ::operator delete[](block, std::align_val_t{kHugePage});
  } else {
    ::operator delete[](block);
  }
}

RowBlock::RowBlock(std::size_t rows, std::size_t length) {
  const std::size_t count = rows * length;
  if (count == 0) return;
  if (count / length != rows || count > static_cast<std::size_t>(-1) / sizeof(double)) {
    throw_allocation_failure("in row block");
  }
  const std::size_t bytes = count * sizeof(double);
  const bool huge = bytes >= kHugeBlock;
  void* block = huge ? ::operator new[](bytes, std::align_val_t{kHugePage}, std::nothrow)
                     : ::operator new[](bytes, std::nothrow);
  if (block == nullptr) throw_allocation_failure("in row block");
  if (huge) ask_for_huge_pages(block, bytes);
  data_ = std::unique_ptr<double[], Release>(static_cast<double*>(block), Release{huge});
  rows_ = rows;
  length_ = length;
}

void reserve_rows(RowBlock& block, std::size_t rows, std::size_t length) {
  if (block.rows() >= rows && block.length() == length) return;
  // The old block goes first, so that both are never held at once.
  block = RowBlock();
  block = RowBlock(rows, length);
}

}  // namespace pelmora
