#include "hdf5/dataset.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/printable_text.h"
#include "hdf5/failure.h"
#include "hdf5/quiet_errors.h"
#include "hdf5/transfer.h"

namespace pelmora::hdf5 {

namespace {

// The name comes from the file: quoted, never echoed raw.
std::string filter_description(H5Z_filter_t filter, std::string_view name) {
  std::string text = "filter " + std::to_string(filter);
  if (!name.empty()) text += " (" + printable_text(name) + ")";
  return text;
}

const char* const kIntegerValues = "an integer or a 1-D array of integers";
const char* const kOneInteger = "a single integer";
const char* const kNumberValues = "a number or a 1-D array of numbers";
const char* const kOneNumber = "a single number";
const char* const kText = "a text string";

const std::string kShortText =
    "a text string of at most " + std::to_string(kMaxTextBytes) + " bytes";

// a * b, or the largest value when that overflows.
std::uint64_t saturated_product(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return a * b;
}

// Reads the single string of a dataset or attribute: `read` is H5Dread or
// H5Aread bound to the object.
template <typename Read>
std::string read_string_value(hid_t file_type, hid_t space, const std::string& file,
                              const std::string& where, Read read) {
  if (H5Sget_simple_extent_npoints(space) != 1) refuse_mistyped(file, where, kText);
  const htri_t variable = H5Tis_variable_str(file_type);
  if (variable < 0) refuse_unreadable(file, where);
  if (variable > 0) {
    const TypeHandle memory_type(H5Tcopy(H5T_C_S1));
    if (!memory_type.valid() || H5Tset_size(memory_type.get(), H5T_VARIABLE) < 0 ||
        H5Tset_cset(memory_type.get(), H5Tget_cset(file_type)) < 0) {
      refuse_unreadable(file, where);
    }
    char* value = nullptr;
    if (read(memory_type.get(), &value) < 0) refuse_unreadable(file, where);
    std::string text = value != nullptr ? value : "";
    H5Dvlen_reclaim(memory_type.get(), space, H5P_DEFAULT, &value);
    if (text.size() > kMaxTextBytes) refuse_mistyped(file, where, kShortText);
    return text;
  }
  const std::size_t size = H5Tget_size(file_type);
  if (size > kMaxTextBytes) refuse_mistyped(file, where, kShortText);
  const TypeHandle memory_type(H5Tcopy(file_type));
  if (size == 0 || !memory_type.valid()) refuse_unreadable(file, where);
  std::string text(size, '\0');
  if (read(memory_type.get(), text.data()) < 0) refuse_unreadable(file, where);
  // NUL-terminated and NUL-padded strings both end at the first NUL (a
  // writer may fill the whole width without one); space-padded ones lose
  // their padding.
  text.resize(std::strlen(text.c_str()));
  if (H5Tget_strpad(file_type) == H5T_STR_SPACEPAD) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
  }
  return text;
}

void require_number_class(const Dataset& dataset, const std::string& expected) {
  const bool number = dataset.type_class() == H5T_INTEGER || dataset.type_class() == H5T_FLOAT;
  dataset.require(number ? dataset.type_class() : H5T_FLOAT, true, expected);
}

}  // namespace

Dataset::Dataset(const File& file, std::string object_path, std::size_t chunk_cache_bytes)
    : file_path_(file.path()), path_(std::move(object_path)) {
  const QuietErrors quiet;
  switch (file.type_of(path_)) {
    case ObjectType::kMissing:
      refuse_missing(file_path_, path_);
    case ObjectType::kDataset:
      break;
    default:
      refuse_mistyped(file_path_, path_, "a dataset");
  }
  const PropertyListHandle access(H5Pcreate(H5P_DATASET_ACCESS));
  if (!access.valid()) refuse_unreadable(file_path_, path_);
  if (chunk_cache_bytes > (std::size_t{1} << 20)) {
    // Many slots for few chunks keeps hash collisions from evicting a chunk
    // early; w0 = 1 evicts chunks that were read whole first.
    if (H5Pset_chunk_cache(access.get(), 12421, chunk_cache_bytes, 1.0) < 0) {
      refuse_unreadable(file_path_, path_);
    }
  }
  handle_ = DatasetHandle(H5Dopen2(file.id(), path_.c_str(), access.get()));
  if (!handle_.valid()) refuse_unreadable(file_path_, path_);

  const TypeHandle type(H5Dget_type(handle_.get()));
  const SpaceHandle space(H5Dget_space(handle_.get()));
  if (!type.valid() || !space.valid()) refuse_unreadable(file_path_, path_);
  type_class_ = H5Tget_class(type.get());
  const int rank = H5Sget_simple_extent_ndims(space.get());
  if (rank < 0) refuse_unreadable(file_path_, path_);
  shape_.resize(static_cast<std::size_t>(rank));
  if (rank > 0 && H5Sget_simple_extent_dims(space.get(), shape_.data(), nullptr) < 0) {
    refuse_unreadable(file_path_, path_);
  }

  const PropertyListHandle creation(H5Dget_create_plist(handle_.get()));
  if (!creation.valid()) refuse_unreadable(file_path_, path_);
  check_storage(creation.get(), H5Tget_size(type.get()));
  check_filters(creation.get());
}

void Dataset::check_storage(hid_t creation_list, std::size_t value_bytes) {
  const int external_files = H5Pget_external_count(creation_list);
  layout_ = H5Pget_layout(creation_list);
  if (external_files < 0 || layout_ < 0) refuse_unreadable(file_path_, path_);
  if (external_files > 0 || layout_ == H5D_VIRTUAL) {
    refuse_contents(path_ + " in file " + file_path_ + " keeps its values in other files (" +
                    (external_files > 0 ? "HDF5 external storage" : "an HDF5 virtual dataset") +
                    "); a measurement must hold its own data.");
  }
  if (layout_ != H5D_CHUNKED) return;
  const int rank = H5Pget_chunk(creation_list, 0, nullptr);
  if (rank < 0) refuse_unreadable(file_path_, path_);
  chunk_.resize(static_cast<std::size_t>(rank));
  if (rank > 0 && H5Pget_chunk(creation_list, rank, chunk_.data()) < 0) {
    refuse_unreadable(file_path_, path_);
  }
  std::uint64_t bytes = value_bytes;
  for (const hsize_t extent : chunk_) bytes = saturated_product(bytes, extent);
  if (bytes > kMaxChunkBytes) {
    refuse_contents(path_ + " in file " + file_path_ + " is stored in chunks of " +
                    std::to_string(bytes) + " bytes; chunks of at most " +
                    std::to_string(kMaxChunkBytes >> 20) + " MiB can be read.");
  }
}

void Dataset::require_stored() const {
  const QuietErrors quiet;
  const std::int64_t declared = element_count();
  if (declared == 0) return;
  if (layout_ == H5D_CHUNKED) {
    if (chunk_.size() != shape_.size()) refuse_unreadable(file_path_, path_);
    std::uint64_t needed = 1;
    for (std::size_t axis = 0; axis < shape_.size(); ++axis) {
      if (chunk_[axis] == 0) refuse_unreadable(file_path_, path_);
      needed = saturated_product(needed, (shape_[axis] + chunk_[axis] - 1) / chunk_[axis]);
    }
    // The whole dataspace: HDF5 1.10 does not take H5S_ALL here.
    const SpaceHandle space(H5Dget_space(handle_.get()));
    hsize_t stored = 0;
    if (!space.valid() || H5Dget_num_chunks(handle_.get(), space.get(), &stored) < 0) {
      refuse_unreadable(file_path_, path_);
    }
    if (stored < needed) {
      refuse_contents(path_ + " in file " + file_path_ + " declares " + std::to_string(declared) +
                      " values but stores " + std::to_string(stored) + " of the " +
                      std::to_string(needed) +
                      " chunks that hold them: the rest were never written.");
    }
  } else if (layout_ == H5D_CONTIGUOUS) {
    H5D_space_status_t status = H5D_SPACE_STATUS_ERROR;
    if (H5Dget_space_status(handle_.get(), &status) < 0) refuse_unreadable(file_path_, path_);
    if (status != H5D_SPACE_STATUS_ALLOCATED) {
      refuse_contents(path_ + " in file " + file_path_ + " declares " + std::to_string(declared) +
                      " values but stores none: they were never written.");
    }
  }
}

void Dataset::check_filters(hid_t creation_list) const {
  const int filters = H5Pget_nfilters(creation_list);
  if (filters < 0) refuse_unreadable(file_path_, path_);
  for (int index = 0; index < filters; ++index) {
    unsigned flags = 0;
    std::size_t values = 0;
    char name[256] = "";
    unsigned config = 0;
    const H5Z_filter_t filter = H5Pget_filter2(creation_list, static_cast<unsigned>(index), &flags,
                                               &values, nullptr, sizeof name, name, &config);
    if (filter < 0) refuse_unreadable(file_path_, path_);
    const htri_t available = H5Zfilter_avail(filter);
    if (available < 0) refuse_unreadable(file_path_, path_);
    if (available == 0) {
      refuse_contents(
          path_ + " in file " + file_path_ + " is compressed with HDF5 " +
          filter_description(filter, std::string_view(name, strnlen(name, sizeof name))) +
          ", which this HDF5 library does not provide.");
    }
  }
}

std::int64_t Dataset::element_count() const {
  std::uint64_t count = 1;
  for (const hsize_t extent : shape_) count = saturated_product(count, extent);
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  return static_cast<std::int64_t>(std::min(count, kMax));
}

void Dataset::require(H5T_class_t type_class, bool scalar_allowed,
                      const std::string& expected) const {
  const bool shape_fits = shape_.size() == 1 || (scalar_allowed && shape_.empty());
  if (!shape_fits || type_class_ != type_class) refuse_mistyped(file_path_, path_, expected);
}

void Dataset::read(hid_t memory_type, hsize_t first, hsize_t count, void* out) const {
  const QuietErrors quiet;
  if (count == 0) return;
  const SpaceHandle file_space(H5Dget_space(handle_.get()));
  const SpaceHandle memory_space(H5Screate_simple(1, &count, nullptr));
  if (!file_space.valid() || !memory_space.valid()) refuse_unreadable(file_path_, path_);
  if (!shape_.empty()) {
    if (H5Sselect_hyperslab(file_space.get(), H5S_SELECT_SET, &first, nullptr, &count, nullptr) <
        0) {
      refuse_unreadable(file_path_, path_);
    }
  } else if (first != 0 || count != 1) {
    refuse_unreadable(file_path_, path_);
  }
  bool overflowed = false;
  const PropertyListHandle transfer = transfer_refusing_overflow(&overflowed);
  if (!transfer.valid()) refuse_unreadable(file_path_, path_);
  if (H5Dread(handle_.get(), memory_type, memory_space.get(), file_space.get(), transfer.get(),
              out) < 0) {
    if (overflowed) {
      refuse_contents(path_ + " in file " + file_path_ +
                      " holds values beyond the range of 64-bit integers.");
    }
    refuse_unreadable(file_path_, path_);
  }
}

void Dataset::read_int64(hsize_t first, std::span<std::int64_t> out) const {
  if (type_class_ != H5T_INTEGER) refuse_mistyped(file_path_, path_, kIntegerValues);
  read(H5T_NATIVE_INT64, first, out.size(), out.data());
}

void Dataset::read_double(hsize_t first, std::span<double> out) const {
  if (type_class_ != H5T_INTEGER && type_class_ != H5T_FLOAT) {
    refuse_mistyped(file_path_, path_, kNumberValues);
  }
  read(H5T_NATIVE_DOUBLE, first, out.size(), out.data());
}

std::string Dataset::read_string() const {
  const QuietErrors quiet;
  if (type_class_ != H5T_STRING) refuse_mistyped(file_path_, path_, kText);
  const TypeHandle type(H5Dget_type(handle_.get()));
  const SpaceHandle space(H5Dget_space(handle_.get()));
  if (!type.valid() || !space.valid()) refuse_unreadable(file_path_, path_);
  return read_string_value(
      type.get(), space.get(), file_path_, path_, [&](hid_t memory_type, void* out) {
        return H5Dread(handle_.get(), memory_type, H5S_ALL, H5S_ALL, H5P_DEFAULT, out);
      });
}

std::vector<std::int64_t> read_integers(const Dataset& dataset, std::size_t max_values,
                                        const std::string& expected) {
  dataset.require(H5T_INTEGER, true, expected);
  if (static_cast<std::uint64_t>(dataset.element_count()) > max_values) {
    refuse_mistyped(dataset.file_path(), dataset.path(), expected);
  }
  std::vector<std::int64_t> values(static_cast<std::size_t>(dataset.element_count()));
  dataset.read_int64(0, values);
  return values;
}

std::vector<std::int64_t> read_integers(const File& file, const std::string& object_path,
                                        std::size_t max_values) {
  return read_integers(Dataset(file, object_path), max_values,
                       "a list of at most " + std::to_string(max_values) + " integers");
}

std::int64_t read_integer(const File& file, const std::string& object_path) {
  const Dataset dataset(file, object_path);
  dataset.require(H5T_INTEGER, true, kOneInteger);
  if (dataset.element_count() != 1) refuse_mistyped(file.path(), object_path, kOneInteger);
  std::int64_t value = 0;
  dataset.read_int64(0, std::span(&value, 1));
  return value;
}

std::vector<double> read_numbers(const Dataset& dataset, std::size_t max_values,
                                 const std::string& expected) {
  require_number_class(dataset, expected);
  if (static_cast<std::uint64_t>(dataset.element_count()) > max_values) {
    refuse_mistyped(dataset.file_path(), dataset.path(), expected);
  }
  std::vector<double> values(static_cast<std::size_t>(dataset.element_count()));
  dataset.read_double(0, values);
  return values;
}

std::vector<double> read_numbers(const File& file, const std::string& object_path,
                                 std::size_t max_values) {
  return read_numbers(Dataset(file, object_path), max_values,
                      "a list of at most " + std::to_string(max_values) + " numbers");
}

double read_number(const File& file, const std::string& object_path) {
  const Dataset dataset(file, object_path);
  require_number_class(dataset, kOneNumber);
  if (dataset.element_count() != 1) refuse_mistyped(file.path(), object_path, kOneNumber);
  double value = 0;
  dataset.read_double(0, std::span(&value, 1));
  return value;
}

std::string read_text(const File& file, const std::string& object_path) {
  return Dataset(file, object_path).read_string();
}

std::string read_text_attribute(const File& file, const std::string& object_path,
                                const std::string& name) {
  const QuietErrors quiet;
  const std::string where = "attribute " + name + " of " + object_path;
  const AttributeHandle attribute(
      H5Aopen_by_name(file.id(), object_path.c_str(), name.c_str(), H5P_DEFAULT, H5P_DEFAULT));
  if (!attribute.valid()) refuse_missing(file.path(), name + " of " + object_path, "attribute");
  const TypeHandle type(H5Aget_type(attribute.get()));
  const SpaceHandle space(H5Aget_space(attribute.get()));
  if (!type.valid() || !space.valid()) refuse_unreadable(file.path(), where);
  if (H5Tget_class(type.get()) != H5T_STRING) refuse_mistyped(file.path(), where, kText);
  return read_string_value(
      type.get(), space.get(), file.path(), where,
      [&](hid_t memory_type, void* out) { return H5Aread(attribute.get(), memory_type, out); });
}

}  // namespace pelmora::hdf5
