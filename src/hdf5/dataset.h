// Reading datasets.  Integers of any stored width and sign arrive as int64
// and numbers as double, converted by HDF5 through native memory types; a
// stored value that the conversion would have to clip is refused instead.
// Strings arrive as std::string whichever of the three encodings wrote them
// (fixed length NUL-terminated or NUL-padded, or variable length).
//
// Nothing is read before its declared size is checked: a dataset may
// declare far more values than the file stores (HDF5 hands out fill values
// for the rest), so the size a reader allocates comes from what it expects,
// and arrays that must hold real values are checked to store them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "hdf5/file.h"
#include "hdf5/handle.h"

namespace pelmora::hdf5 {

class Dataset {
 public:
  // Opens a dataset for reading.  Refuses a missing path or one that is not
  // a dataset; a dataset whose filter pipeline needs a filter that this
  // HDF5 library lacks (so that it is never read as fill values); one whose
  // values live in other files (external storage, a virtual dataset), which
  // a measurement must not reach out to; and chunks of more than
  // kMaxChunkBytes, which HDF5 would decompress whole for any read.  A
  // chunk_cache_bytes above HDF5's default of 1 MiB lets block-wise reads
  // find a chunk that straddles two blocks still decompressed.
  Dataset(const File& file, std::string object_path, std::size_t chunk_cache_bytes = 0);

  const std::string& path() const { return path_; }
  const std::string& file_path() const { return file_path_; }
  H5T_class_t type_class() const { return type_class_; }
  // Empty for a scalar dataset.
  const std::vector<hsize_t>& shape() const { return shape_; }
  // The declared number of values (INT64_MAX when the product overflows).
  std::int64_t element_count() const;

  // Refuses a dataset that declares more values than it stores: chunks
  // that were never written, or contiguous storage never allocated.
  void require_stored() const;

  // Refuses (naming `expected`) unless the dataset is 1-D, or a scalar when
  // scalar_allowed, and of the given type class.
  void require(H5T_class_t type_class, bool scalar_allowed, const std::string& expected) const;

  // Reads out.size() consecutive values starting at element `first` (0 for
  // a scalar).  The dataset must hold integers (read_int64) or numbers.
  void read_int64(hsize_t first, std::span<std::int64_t> out) const;
  void read_double(hsize_t first, std::span<double> out) const;

  // The one string of a scalar or one-element string dataset.
  std::string read_string() const;

 private:
  void read(hid_t memory_type, hsize_t first, hsize_t count, void* out) const;
  void check_filters(hid_t creation_list) const;
  void check_storage(hid_t creation_list, std::size_t value_bytes);

  DatasetHandle handle_;
  std::string file_path_;
  std::string path_;
  H5T_class_t type_class_ = H5T_NO_CLASS;
  std::vector<hsize_t> shape_;
  H5D_layout_t layout_ = H5D_CONTIGUOUS;
  std::vector<hsize_t> chunk_;  // for a chunked dataset
};

// The largest chunk a dataset may have: far above what writers choose (h5py
// and PyTables stay near 1 MB), far below what would strain memory.
inline constexpr std::size_t kMaxChunkBytes = std::size_t{64} << 20;
// The longest text read: metadata names and versions are a few words.
inline constexpr std::size_t kMaxTextBytes = 4096;

// Whole-dataset helpers for metadata: a scalar or a 1-D array.  A dataset
// that declares more than max_values values is refused before it is read,
// as not being `expected` (e.g. "a list of at most 4096 detector ids").
std::vector<std::int64_t> read_integers(const Dataset& dataset, std::size_t max_values,
                                        const std::string& expected);
std::vector<std::int64_t> read_integers(const File& file, const std::string& object_path,
                                        std::size_t max_values);
std::int64_t read_integer(const File& file, const std::string& object_path);
// Integers or floating-point numbers, as double.
std::vector<double> read_numbers(const Dataset& dataset, std::size_t max_values,
                                 const std::string& expected);
std::vector<double> read_numbers(const File& file, const std::string& object_path,
                                 std::size_t max_values);
double read_number(const File& file, const std::string& object_path);
// At most kMaxTextBytes.
std::string read_text(const File& file, const std::string& object_path);

// A string attribute of the object at object_path (for example the root
// group's format_name).
std::string read_text_attribute(const File& file, const std::string& object_path,
                                const std::string& name);

}  // namespace pelmora::hdf5
