#include "hdf5/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "base/regular_file.h"
#include "hdf5/failure.h"
#include "hdf5/quiet_errors.h"

namespace pelmora::hdf5 {

namespace {

// An in-memory file grows in steps of this many bytes (HDF5 zeroes each
// step, so a small file costs little; a large one is moved by realloc).
constexpr std::size_t kMemoryIncrement = std::size_t{1} << 16;
// Soft links followed for one path at most, as the kernel limits symbolic
// links: enough for any sensible file, few enough that a loop ends at once.
constexpr int kMaxSoftLinks = 40;

void check_readable_file(const std::string& path) {
  struct stat entry {};
  if (stat(path.c_str(), &entry) != 0) refuse_access("Could not read from file " + path);
  if (const std::optional<std::string> refusal = not_a_regular_file(path)) refuse_access(*refusal);
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (file == nullptr) refuse_access("Could not read from file " + path);
}

FileHandle create_in_core(const std::string& name) {
  const PropertyListHandle access(H5Pcreate(H5P_FILE_ACCESS));
  if (!access.valid() || H5Pset_fapl_core(access.get(), kMemoryIncrement, false) < 0) {
    return FileHandle();
  }
  return FileHandle(H5Fcreate(name.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, access.get()));
}

void write_bytes(const std::string& path, const std::string& bytes) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0) refuse_access("Could not write to file " + path);
  std::size_t done = 0;
  bool failed = false;
  while (done < bytes.size() && !failed) {
    const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    failed = written <= 0;
    if (!failed) done += static_cast<std::size_t>(written);
  }
  if (::close(descriptor) != 0 || failed) refuse_access("Could not write to file " + path);
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

// The path of hard links that `object_path` leads to, following soft links
// (`soft_links` counts those followed so far); nothing when a link on the
// way is missing or dangles, or a step is not a group.  HDF5 is only ever
// asked about one link beyond a path already known to be made of hard links
// between groups, so that it never follows a link by itself.
std::optional<std::string> hard_path(hid_t file, const std::string& file_path,
                                     const std::string& object_path, int& soft_links) {
  if (object_path.empty() || object_path[0] != '/') return std::nullopt;
  std::string current;  // empty: the root group
  std::size_t start = 1;
  while (start < object_path.size()) {
    std::size_t end = object_path.find('/', start);
    if (end == std::string::npos) end = object_path.size();
    if (end > start) {
      if (!current.empty() && type_of_object(file, current) != ObjectType::kGroup) {
        return std::nullopt;
      }
      const std::string link = current + "/" + object_path.substr(start, end - start);
      const htri_t exists = H5Lexists(file, link.c_str(), H5P_DEFAULT);
      if (exists < 0) refuse_unreadable(file_path, link);
      if (exists == 0) return std::nullopt;
      H5L_info_t info{};
      if (H5Lget_info(file, link.c_str(), &info, H5P_DEFAULT) < 0) {
        refuse_unreadable(file_path, link);
      }
      if (info.type == H5L_TYPE_HARD) {
        current = link;
      } else if (info.type == H5L_TYPE_SOFT) {
        if (++soft_links > kMaxSoftLinks) {
          refuse_contents(link + " in file " + file_path +
                          " is a soft link that leads through more than " +
                          std::to_string(kMaxSoftLinks) + " soft links (a loop?).");
        }
        std::string target(info.u.val_size + 1, '\0');
        if (H5Lget_val(file, link.c_str(), target.data(), target.size(), H5P_DEFAULT) < 0) {
          refuse_unreadable(file_path, link);
        }
        target.resize(std::strlen(target.c_str()));
        const std::string absolute = target.starts_with('/') ? target : current + "/" + target;
        const std::optional<std::string> resolved =
            hard_path(file, file_path, absolute, soft_links);
        if (!resolved) return std::nullopt;
        current = *resolved == "/" ? std::string() : *resolved;
      } else {
        refuse_contents(link + " in file " + file_path +
                        " is a link to another file; links out of a measurement are not "
                        "followed.");
      }
    }
    start = end + 1;
  }
  return current.empty() ? std::string("/") : current;
}

}  // namespace

File File::open(const std::string& path) {
  const QuietErrors quiet;
  check_readable_file(path);
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
  FileHandle handle = create_in_core(path);
  if (!handle.valid()) refuse_access("Could not write to file " + path);
  return File(std::move(handle), path, true);
}

File File::create_in_memory(const std::string& name) {
  const QuietErrors quiet;
  FileHandle handle = create_in_core(name);
  if (!handle.valid()) refuse_access("Could not write to file " + name);
  return File(std::move(handle), name);
}

ObjectType File::type_of(const std::string& object_path) const {
  const QuietErrors quiet;
  int soft_links = 0;
  const std::optional<std::string> path = hard_path(id(), path_, object_path, soft_links);
  return path ? type_of_object(id(), *path) : ObjectType::kMissing;
}

std::vector<std::string> File::member_names(const std::string& group_path) const {
  const QuietErrors quiet;
  if (type_of(group_path) != ObjectType::kGroup) refuse_missing(path_, group_path, "group");
  const GroupHandle group(H5Gopen2(id(), group_path.c_str(), H5P_DEFAULT));
  if (!group.valid()) refuse_missing(path_, group_path, "group");
  H5G_info_t info;
  if (H5Gget_info(group.get(), &info) < 0) refuse_unreadable(path_, group_path);
  std::vector<std::string> names;
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
  if (type_of(object_path) == ObjectType::kMissing) return false;
  const htri_t exists = H5Aexists_by_name(id(), object_path.c_str(), name.c_str(), H5P_DEFAULT);
  if (exists < 0) refuse_unreadable(path_, object_path);
  return exists > 0;
}

std::string File::image() const {
  const QuietErrors quiet;
  if (H5Fflush(id(), H5F_SCOPE_LOCAL) < 0) refuse_access("Could not write to file " + path_);
  const ssize_t size = H5Fget_file_image(id(), nullptr, 0);
  if (size < 0) refuse_access("Could not write to file " + path_);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (H5Fget_file_image(id(), bytes.data(), bytes.size()) != size) {
    refuse_access("Could not write to file " + path_);
  }
  return bytes;
}

void File::close() {
  const QuietErrors quiet;
  if (!handle_.valid()) return;
  const std::string bytes = write_on_close_ ? image() : std::string();
  if (H5Fclose(handle_.release()) < 0) refuse_access("Could not write to file " + path_);
  if (write_on_close_) write_bytes(path_, bytes);
}

}  // namespace pelmora::hdf5
