// Rows of equal length in one block of memory, for stores of many rows that
// are written once and read once, such as the forward rows of a likelihood
// run.  One block instead of a block per row spares the allocator a call per
// row and the kernel most of its page faults: a large block is asked for in
// huge pages where the system offers them.  Contents start uninitialised, so
// the pages are first touched by the thread that writes them.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

namespace pelmora {

class RowBlock {
 public:
  RowBlock() = default;
  // rows x length doubles; on exhaustion throws the allocation failure
  // "in row block".
  RowBlock(std::size_t rows, std::size_t length);

  std::size_t rows() const { return rows_; }
  std::size_t length() const { return length_; }
  double* row(std::size_t i) { return data_.get() + i * length_; }
  const double* row(std::size_t i) const { return data_.get() + i * length_; }
  std::span<double> row_span(std::size_t i) { return {row(i), length_}; }
  std::span<const double> row_span(std::size_t i) const { return {row(i), length_}; }

 private:
  struct Release {
    bool huge;  // aligned for huge pages (value-initialised: false)
    void operator()(double* block) const;
  };
  std::unique_ptr<double[], Release> data_;
  std::size_t rows_ = 0;
  std::size_t length_ = 0;
};

// Makes `block` hold at least `rows` rows of `length`; a block that does is
// kept as it is, with its contents.
void reserve_rows(RowBlock& block, std::size_t rows, std::size_t length);

}  // namespace pelmora
