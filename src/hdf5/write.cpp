#include "hdf5/write.h"

#include <algorithm>
#include <vector>

#include "hdf5/failure.h"
#include "hdf5/quiet_errors.h"
#include "hdf5/transfer.h"

namespace pelmora::hdf5 {

namespace {

constexpr hsize_t kChunkValues = hsize_t{1} << 16;

// Little-endian standard types, as h5py and PyTables write on the usual
// machines.
hid_t stored_type(IntegerType type) {
  switch (type) {
    case IntegerType::kInt8:
      return H5T_STD_I8LE;
    case IntegerType::kUInt8:
      return H5T_STD_U8LE;
    case IntegerType::kInt16:
      return H5T_STD_I16LE;
    case IntegerType::kUInt16:
      return H5T_STD_U16LE;
    case IntegerType::kInt32:
      return H5T_STD_I32LE;
    case IntegerType::kUInt32:
      return H5T_STD_U32LE;
    case IntegerType::kInt64:
      return H5T_STD_I64LE;
    case IntegerType::kUInt64:
      return H5T_STD_U64LE;
  }
  return H5T_STD_I64LE;
}

std::string parent_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

PropertyListHandle untimed(hid_t list_class, const File& file, const std::string& path) {
  PropertyListHandle list(H5Pcreate(list_class));
  if (!list.valid() || H5Pset_obj_track_times(list.get(), false) < 0) {
    refuse_unwritable(file.path(), path);
  }
  return list;
}

PropertyListHandle dataset_creation(const File& file, const std::string& path,
                                    const std::vector<hsize_t>& dims,
                                    const Compression& compression) {
  PropertyListHandle creation = untimed(H5P_DATASET_CREATE, file, path);
  hsize_t count = 1;
  for (const hsize_t extent : dims) count *= extent;
  if (!compression.gzip || dims.empty() || count == 0) return creation;

  std::vector<hsize_t> chunk = dims;
  hsize_t row_values = 1;
  for (std::size_t axis = 1; axis < dims.size(); ++axis) row_values *= dims[axis];
  const hsize_t rows = compression.chunk_rows > 0
                           ? compression.chunk_rows
                           : std::max<hsize_t>(1, kChunkValues / std::max<hsize_t>(row_values, 1));
  chunk[0] = std::min(rows, dims[0]);
  if (H5Pset_chunk(creation.get(), static_cast<int>(chunk.size()), chunk.data()) < 0 ||
      (compression.shuffle && H5Pset_shuffle(creation.get()) < 0) ||
      H5Pset_deflate(creation.get(), static_cast<unsigned>(compression.level)) < 0) {
    refuse_unwritable(file.path(), path);
  }
  return creation;
}

void write_dataset(const File& file, const std::string& path, hid_t memory_type, hid_t file_type,
                   const std::vector<hsize_t>& dims, const void* values,
                   const Compression& compression = {}) {
  const QuietErrors quiet;
  create_group(file, parent_of(path));
  const SpaceHandle space(
      dims.empty() ? H5Screate(H5S_SCALAR)
                   : H5Screate_simple(static_cast<int>(dims.size()), dims.data(), nullptr));
  if (!space.valid()) refuse_unwritable(file.path(), path);
  const PropertyListHandle creation = dataset_creation(file, path, dims, compression);
  const DatasetHandle dataset(H5Dcreate2(file.id(), path.c_str(), file_type, space.get(),
                                         H5P_DEFAULT, creation.get(), H5P_DEFAULT));
  if (!dataset.valid()) refuse_unwritable(file.path(), path);
  bool overflowed = false;
  const PropertyListHandle transfer = transfer_refusing_overflow(&overflowed);
  if (!transfer.valid()) refuse_unwritable(file.path(), path);
  if (H5Dwrite(dataset.get(), memory_type, H5S_ALL, H5S_ALL, transfer.get(), values) < 0) {
    if (overflowed) {
      refuse_access("Could not write " + path + " to file " + file.path() +
                    ": a value does not fit the stored integer type.");
    }
    refuse_unwritable(file.path(), path);
  }
}

// The file type of a string and the bytes that hold it in memory.
struct StringData {
  TypeHandle type;
  bool variable = false;
  std::string bytes;              // fixed width, or the text of a variable-length string
  const char* pointer = nullptr;  // what HDF5 reads for a variable-length string

  const void* buffer() {
    if (!variable) return bytes.data();
    pointer = bytes.c_str();
    return &pointer;
  }
};

StringData string_data(std::string_view text, StringEncoding encoding) {
  StringData data;
  data.type = TypeHandle(H5Tcopy(H5T_C_S1));
  if (!data.type.valid()) return data;
  data.bytes.assign(text);
  bool ok = true;
  if (encoding == StringEncoding::kVariableLength) {
    data.variable = true;
    ok = H5Tset_size(data.type.get(), H5T_VARIABLE) >= 0 &&
         H5Tset_cset(data.type.get(), H5T_CSET_UTF8) >= 0;
  } else {
    const bool terminated = encoding == StringEncoding::kNulTerminated;
    // HDF5 has no zero-length fixed strings.
    if (terminated || data.bytes.empty()) data.bytes.push_back('\0');
    ok = H5Tset_size(data.type.get(), data.bytes.size()) >= 0 &&
         H5Tset_strpad(data.type.get(), terminated ? H5T_STR_NULLTERM : H5T_STR_NULLPAD) >= 0;
  }
  if (!ok) data.type.reset();
  return data;
}

void write_attribute(const File& file, const std::string& object_path, const std::string& name,
                     hid_t memory_type, hid_t file_type, const void* value) {
  const QuietErrors quiet;
  const std::string where = "attribute " + name + " of " + object_path;
  const SpaceHandle space(H5Screate(H5S_SCALAR));
  if (!space.valid()) refuse_unwritable(file.path(), where);
  const AttributeHandle attribute(H5Acreate_by_name(file.id(), object_path.c_str(), name.c_str(),
                                                    file_type, space.get(), H5P_DEFAULT,
                                                    H5P_DEFAULT, H5P_DEFAULT));
  if (!attribute.valid() || H5Awrite(attribute.get(), memory_type, value) < 0) {
    refuse_unwritable(file.path(), where);
  }
}

}  // namespace

void create_group(const File& file, const std::string& group_path) {
  const QuietErrors quiet;
  std::size_t start = 1;
  while (start < group_path.size()) {
    std::size_t end = group_path.find('/', start);
    if (end == std::string::npos) end = group_path.size();
    const std::string prefix = group_path.substr(0, end);
    const ObjectType type = file.type_of(prefix);
    if (type == ObjectType::kMissing) {
      const PropertyListHandle creation = untimed(H5P_GROUP_CREATE, file, prefix);
      const GroupHandle group(
          H5Gcreate2(file.id(), prefix.c_str(), H5P_DEFAULT, creation.get(), H5P_DEFAULT));
      if (!group.valid()) refuse_unwritable(file.path(), prefix);
    } else if (type != ObjectType::kGroup) {
      refuse_unwritable(file.path(), prefix);
    }
    start = end + 1;
  }
}

void write_integers(const File& file, const std::string& path, std::span<const std::int64_t> values,
                    IntegerType stored, const Compression& compression) {
  write_dataset(file, path, H5T_NATIVE_INT64, stored_type(stored), {values.size()}, values.data(),
                compression);
}

void write_integer(const File& file, const std::string& path, std::int64_t value,
                   IntegerType stored) {
  write_dataset(file, path, H5T_NATIVE_INT64, stored_type(stored), {}, &value);
}

void write_numbers(const File& file, const std::string& path, std::span<const double> values,
                   const Compression& compression) {
  write_dataset(file, path, H5T_NATIVE_DOUBLE, H5T_IEEE_F64LE, {values.size()}, values.data(),
                compression);
}

void write_number(const File& file, const std::string& path, double value) {
  write_dataset(file, path, H5T_NATIVE_DOUBLE, H5T_IEEE_F64LE, {}, &value);
}

void write_text(const File& file, const std::string& path, std::string_view text,
                StringEncoding encoding) {
  StringData data = string_data(text, encoding);
  if (!data.type.valid()) refuse_unwritable(file.path(), path);
  write_dataset(file, path, data.type.get(), data.type.get(), {}, data.buffer());
}

void write_integer_matrix(const File& file, const std::string& path, hsize_t rows, hsize_t columns,
                          std::span<const std::int64_t> values, IntegerType stored,
                          const Compression& compression) {
  if (values.size() != rows * columns) refuse_unwritable(file.path(), path);
  write_dataset(file, path, H5T_NATIVE_INT64, stored_type(stored), {rows, columns}, values.data(),
                compression);
}

void write_number_matrix(const File& file, const std::string& path, hsize_t rows, hsize_t columns,
                         std::span<const double> values, const Compression& compression) {
  if (values.size() != rows * columns) refuse_unwritable(file.path(), path);
  write_dataset(file, path, H5T_NATIVE_DOUBLE, H5T_IEEE_F64LE, {rows, columns}, values.data(),
                compression);
}

void write_text_attribute(const File& file, const std::string& object_path, const std::string& name,
                          std::string_view text, StringEncoding encoding) {
  StringData data = string_data(text, encoding);
  if (!data.type.valid())
    refuse_unwritable(file.path(), "attribute " + name + " of " + object_path);
  write_attribute(file, object_path, name, data.type.get(), data.type.get(), data.buffer());
}

void write_integer_attribute(const File& file, const std::string& object_path,
                             const std::string& name, std::int64_t value) {
  write_attribute(file, object_path, name, H5T_NATIVE_INT64, H5T_STD_I64LE, &value);
}

void write_number_attribute(const File& file, const std::string& object_path,
                            const std::string& name, double value) {
  write_attribute(file, object_path, name, H5T_NATIVE_DOUBLE, H5T_IEEE_F64LE, &value);
}

}  // namespace pelmora::hdf5
