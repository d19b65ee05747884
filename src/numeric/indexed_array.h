// Index-ranged arrays: a vector is created for an inclusive index range [lo..hi]
// and addressed with those indices directly; a matrix has an inclusive row range
// and an inclusive column range, and every row is its own block.
//
// Every block holds at least one element, so an empty or inverted range still
// yields a usable one-element array whose only index is lo.  Creation never
// fails quietly: when memory is exhausted the creating routine throws an
// Error of kind kMemory with its own allocation-failure text.  Arrays own
// their memory and release it when they go.  Contents start
// uninitialised; every user writes an element before reading it.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace pelmora {

// Number of elements that a block for [lo..hi] holds: at least one.
std::size_t block_length(int lo, int hi);

template <typename T>
class IndexedVector {
 public:
  IndexedVector() = default;
  IndexedVector(std::unique_ptr<T[]> block, int lo, int hi)
      : block_(std::move(block)), lo_(lo), length_(block_length(lo, hi)) {}

  T& operator[](int i) {
    assert(contains(i));
    return block_[static_cast<std::size_t>(i - lo_)];
  }
  const T& operator[](int i) const {
    assert(contains(i));
    return block_[static_cast<std::size_t>(i - lo_)];
  }

  int lo() const { return lo_; }
  // Highest valid index; equals lo() for an empty or inverted creation range.
  int hi() const { return lo_ + static_cast<int>(length_) - 1; }
  std::size_t size() const { return length_; }
  bool empty() const { return block_ == nullptr; }
  bool contains(int i) const { return block_ && i >= lo_ && i <= hi(); }

  // The element with index lo() and everything after it.
  T* data() { return block_.get(); }
  const T* data() const { return block_.get(); }
  std::span<T> span() { return {block_.get(), length_}; }
  std::span<const T> span() const { return {block_.get(), length_}; }

 private:
  std::unique_ptr<T[]> block_;
  int lo_ = 0;
  std::size_t length_ = 0;
};

using DVector = IndexedVector<double>;
using IVector = IndexedVector<std::int32_t>;

// A matrix of doubles: a row table indexed nrl..nrh, each row a separate block
// indexed ncl..nch.  Rows are not adjacent, so no code may step from the end of
// one row into the next.  m[i][j] addresses an element; row(i) hands a row on
// as a vector indexed from ncl.
class DMatrix {
 public:
  class RowRef {
   public:
    RowRef(double* first, int ncl) : first_(first), ncl_(ncl) {}
    double& operator[](int j) const { return first_[j - ncl_]; }

   private:
    double* first_;
    int ncl_;
  };
  class ConstRowRef {
   public:
    ConstRowRef(const double* first, int ncl) : first_(first), ncl_(ncl) {}
    const double& operator[](int j) const { return first_[j - ncl_]; }

   private:
    const double* first_;
    int ncl_;
  };

  DMatrix() = default;
  DMatrix(std::vector<std::unique_ptr<double[]>> rows, int nrl, int ncl, std::size_t row_length)
      : rows_(std::move(rows)), nrl_(nrl), ncl_(ncl), row_length_(row_length) {}

  RowRef operator[](int i) { return {row(i), ncl_}; }
  ConstRowRef operator[](int i) const { return {row(i), ncl_}; }

  // The first element (column ncl) of row i.
  double* row(int i) {
    assert(i >= nrl_ && i < nrl_ + static_cast<int>(rows_.size()));
    return rows_[static_cast<std::size_t>(i - nrl_)].get();
  }
  const double* row(int i) const {
    assert(i >= nrl_ && i < nrl_ + static_cast<int>(rows_.size()));
    return rows_[static_cast<std::size_t>(i - nrl_)].get();
  }
  std::span<double> row_span(int i) { return {row(i), row_length_}; }
  std::span<const double> row_span(int i) const { return {row(i), row_length_}; }

  int row_lo() const { return nrl_; }
  int col_lo() const { return ncl_; }
  std::size_t row_count() const { return rows_.size(); }
  std::size_t row_length() const { return row_length_; }
  bool empty() const { return rows_.empty(); }

 private:
  std::vector<std::unique_ptr<double[]>> rows_;
  int nrl_ = 0;
  int ncl_ = 0;
  std::size_t row_length_ = 0;
};

// Checked creation.  On exhaustion each throws its own allocation-failure
// text ("allocation failure in dvector()" and so on).
DVector dvector(int lo, int hi);
IVector ivector(int lo, int hi);
DMatrix dmatrix(int nrl, int nrh, int ncl, int nch);

}  // namespace pelmora
