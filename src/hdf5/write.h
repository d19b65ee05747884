// Writing datasets, groups and attributes.  Values are handed over as int64
// or double and stored in the type asked for (HDF5 converts; a value that
// does not fit the stored type is refused, never clipped).  Parent groups
// are created as needed.  No object records its creation or modification
// time, so that the same contents give the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "hdf5/file.h"

namespace pelmora::hdf5 {

enum class IntegerType { kInt8, kUInt8, kInt16, kUInt16, kInt32, kUInt32, kInt64, kUInt64 };

// The three ways HDF5 writers store a string: fixed length with a closing
// NUL (PyTables), fixed length padded with NULs and no terminator required
// (h5py's byte strings), or variable length UTF-8 (h5py's str).
enum class StringEncoding { kNulTerminated, kNulPadded, kVariableLength };

struct Compression {
  bool gzip = false;
  int level = 6;
  // Byte shuffle before gzip: slowly growing timestamps compress several
  // times better.
  bool shuffle = true;
  // Rows per chunk; 0 chooses about 64 Ki values per chunk.
  hsize_t chunk_rows = 0;
};

void create_group(const File& file, const std::string& group_path);

// 1-D arrays and scalars.
void write_integers(const File& file, const std::string& path, std::span<const std::int64_t> values,
                    IntegerType stored = IntegerType::kInt64, const Compression& compression = {});
void write_integer(const File& file, const std::string& path, std::int64_t value,
                   IntegerType stored = IntegerType::kInt64);
void write_numbers(const File& file, const std::string& path, std::span<const double> values,
                   const Compression& compression = {});
void write_number(const File& file, const std::string& path, double value);
void write_text(const File& file, const std::string& path, std::string_view text,
                StringEncoding encoding = StringEncoding::kNulTerminated);

// 2-D arrays in row-major order: values.size() must be rows * columns.
void write_integer_matrix(const File& file, const std::string& path, hsize_t rows, hsize_t columns,
                          std::span<const std::int64_t> values,
                          IntegerType stored = IntegerType::kInt64,
                          const Compression& compression = {});
void write_number_matrix(const File& file, const std::string& path, hsize_t rows, hsize_t columns,
                         std::span<const double> values, const Compression& compression = {});

// Scalar attributes of an existing object ("/" for the root group).
void write_text_attribute(const File& file, const std::string& object_path, const std::string& name,
                          std::string_view text,
                          StringEncoding encoding = StringEncoding::kNulTerminated);
void write_integer_attribute(const File& file, const std::string& object_path,
                             const std::string& name, std::int64_t value);
void write_number_attribute(const File& file, const std::string& object_path,
                            const std::string& name, double value);

}  // namespace pelmora::hdf5
