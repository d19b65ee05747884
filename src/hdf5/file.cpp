#include "hdf5/file.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "hdf5/failure.h"
#include "hdf5/quiet_errors.h"

namespace pelmora::hdf5 {

namespace {

bool readable_file(const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return false;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  return file != nullptr;
}

ObjectType type_of_object(hid_t file, const std::string& object_path) {
  // A link that exists may still dangle (a soft link to nothing): only an
  // object that opens counts.
  const ObjectHandle object(H5Oopen(file, object_path.c_str(), H5P_DEFAULT));
  if (!object.valid()) return ObjectType::kMissing;
  switch (H5Iget_type(object.get())) {
    case H5I_GROUP:
      return ObjectType::kGroup;
    case H5I_DATASET:
      return ObjectType::kDataset;
    default:
      return ObjectType::kOther;
  }
}

}  // namespace

File File::open(const std::string& path) {
  const QuietErrors quiet;
  if (!readable_file(path)) refuse_access("Could not read from file " + path);
  const htri_t is_hdf5 = H5Fis_hdf5(path.c_str());
  if (is_hdf5 < 0) refuse_access("Could not read from file " + path);
  if (is_hdf5 == 0) refuse_contents("File " + path + " is not an HDF5 file.");
  FileHandle handle(H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT));
  if (!handle.valid()) {
    refuse_contents("File " + path + " is a damaged or truncated HDF5 file.");
  }
  return File(std::move(handle), path);
}

File File::create(const std::string& path) {
  const QuietErrors quiet;
  FileHandle handle(H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT));
  if (!handle.valid()) refuse_access("Could not write to file " + path);
  return File(std::move(handle), path);
}

ObjectType File::type_of(const std::string& object_path) const {
  const QuietErrors quiet;
  if (object_path.empty() || object_path[0] != '/') return ObjectType::kMissing;
  std::string prefix;
  std::size_t start = 1;
  while (start < object_path.size()) {
    std::size_t end = object_path.find('/', start);
    if (end == std::string::npos) end = object_path.size();
    if (end > start) {
      if (!prefix.empty() && type_of_object(id(), prefix) != ObjectType::kGroup) {
        return ObjectType::kMissing;
      }
      prefix += "/" + object_path.substr(start, end - start);
      const htri_t exists = H5Lexists(id(), prefix.c_str(), H5P_DEFAULT);
      if (exists < 0) refuse_unreadable(path_, prefix);
      if (exists == 0) return ObjectType::kMissing;
    }
    start = end + 1;
  }
  return type_of_object(id(), prefix.empty() ? "/" : prefix);
}

std::vector<std::string> File::member_names(const std::string& group_path) const {
  const QuietErrors quiet;
  const GroupHandle group(H5Gopen2(id(), group_path.c_str(), H5P_DEFAULT));
  if (!group.valid()) refuse_missing(path_, group_path, "group");
  H5G_info_t info;
  if (H5Gget_info(group.get(), &info) < 0) refuse_unreadable(path_, group_path);
  std::vector<std::string> names;
  names.reserve(info.nlinks);
  for (hsize_t index = 0; index < info.nlinks; ++index) {
    const ssize_t length = H5Lget_name_by_idx(group.get(), ".", H5_INDEX_NAME, H5_ITER_INC, index,
                                              nullptr, 0, H5P_DEFAULT);
    if (length < 0) refuse_unreadable(path_, group_path);
    std::string name(static_cast<std::size_t>(length) + 1, '\0');
    if (H5Lget_name_by_idx(group.get(), ".", H5_INDEX_NAME, H5_ITER_INC, index, name.data(),
                           name.size(), H5P_DEFAULT) < 0) {
      refuse_unreadable(path_, group_path);
    }
    name.resize(static_cast<std::size_t>(length));
    names.push_back(std::move(name));
  }
  return names;
}

bool File::has_attribute(const std::string& object_path, const std::string& name) const {
  const QuietErrors quiet;
  const htri_t exists = H5Aexists_by_name(id(), object_path.c_str(), name.c_str(), H5P_DEFAULT);
  if (exists < 0) refuse_unreadable(path_, object_path);
  return exists > 0;
}

void File::close() {
  const QuietErrors quiet;
  if (!handle_.valid()) return;
  const bool flushed = H5Fflush(handle_.get(), H5F_SCOPE_LOCAL) >= 0;
  const bool closed = H5Fclose(handle_.release()) >= 0;
  if (!flushed || !closed) refuse_access("Could not write to file " + path_);
}

}  // namespace pelmora::hdf5
