#include "numeric/indexed_array.h"

#include <new>

#include "base/error.h"

namespace pelmora {

std::size_t block_length(int lo, int hi) {
  const long long count = static_cast<long long>(hi) - lo + 1;
  return count < 1 ? 1 : static_cast<std::size_t>(count);
}

namespace {

template <typename T>
std::unique_ptr<T[]> obtain_block(std::size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

template <typename T>
IndexedVector<T> create_vector(int lo, int hi, const char* creator) {
  std::unique_ptr<T[]> block = obtain_block<T>(block_length(lo, hi));
  if (!block) throw_allocation_failure(creator);
  return IndexedVector<T>(std::move(block), lo, hi);
}

}  // namespace

DVector dvector(int lo, int hi) {
  return create_vector<double>(lo, hi, "in dvector()");
}

IVector ivector(int lo, int hi) {
  return create_vector<std::int32_t>(lo, hi, "in ivector()");
}

DMatrix dmatrix(int nrl, int nrh, int ncl, int nch) {
  const std::size_t row_count = block_length(nrl, nrh);
  const std::size_t row_length = block_length(ncl, nch);
  std::vector<std::unique_ptr<double[]>> rows;
  try {
    rows.resize(row_count);
  } catch (const std::bad_alloc&) {
    throw_allocation_failure("1 in dmatrix()");
  }
  for (auto& row : rows) {
    row = obtain_block<double>(row_length);
    if (!row) throw_allocation_failure("2 in dmatrix()");
  }
  return DMatrix(std::move(rows), nrl, ncl, row_length);
}

}  // namespace pelmora
