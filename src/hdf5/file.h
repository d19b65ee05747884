// An open HDF5 file and the questions asked of its tree: does a path name
// something, is it a group or a dataset, what does a group hold.
#pragma once

#include <string>
#include <vector>

#include "hdf5/handle.h"

namespace pelmora::hdf5 {

enum class ObjectType { kMissing, kGroup, kDataset, kOther };

class File {
 public:
  // Opens an existing file read-only.  Refuses, naming the file: as kIo a
  // file that cannot be read at all, or that is not a regular file (a pipe
  // would block HDF5 for ever, a device feed it without end); as kInput one
  // that is not HDF5, or that HDF5 cannot open (cut short or damaged).
  static File open(const std::string& path);
  // A new file that HDF5 holds in memory (its core driver, without a backing
  // store): no write reaches a disk, so none can fail half-way and leave
  // HDF5 with a file it can neither flush nor close.  create() writes the
  // bytes to `path` when close() is called (kIo when that fails; a file
  // never closed writes nothing); create_in_memory() only hands them over
  // through image(), `name` naming the file in messages.
  static File create(const std::string& path);
  static File create_in_memory(const std::string& name);

  File(File&&) = default;
  File& operator=(File&&) = default;

  const std::string& path() const { return path_; }
  hid_t id() const { return handle_.get(); }

  // What an absolute path ("/a/b") names.  Each link along the path is
  // checked with H5Lexists, and each step must be a group, so that a path
  // through a dataset or a dangling link is simply missing rather than an
  // HDF5 error.  Soft links are followed within the file; a link into
  // another file (an external or a user-defined link), on the path or at
  // the end of a soft link, is refused (kInput) before HDF5 could open that
  // file: a measurement names its own contents.
  ObjectType type_of(const std::string& object_path) const;
  bool exists(const std::string& object_path) const {
    return type_of(object_path) != ObjectType::kMissing;
  }

  // The names of the links in a group, in name order.
  std::vector<std::string> member_names(const std::string& group_path) const;

  bool has_attribute(const std::string& object_path, const std::string& name) const;

  // The bytes of a file made by create() or create_in_memory(), as a file
  // on disk would hold them (kIo when HDF5 cannot hand them over).
  std::string image() const;

  // Closes the file; a file made by create() is then written to its path.
  // A failure means the file is incomplete, so it is reported (kIo).  Every
  // dataset, group and attribute of the file must be closed before.
  void close();

 private:
  File(FileHandle handle, std::string path, bool write_on_close = false)
      : handle_(std::move(handle)), path_(std::move(path)), write_on_close_(write_on_close) {}

  FileHandle handle_;
  std::string path_;
  bool write_on_close_ = false;
};

}  // namespace pelmora::hdf5
