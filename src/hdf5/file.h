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
  // file that cannot be read at all; as kInput one that is not HDF5, or that
  // HDF5 cannot open (cut short or damaged).
  static File open(const std::string& path);
  // Creates the file, replacing any file of that name (kIo when it cannot).
  static File create(const std::string& path);

  File(File&&) = default;
  File& operator=(File&&) = default;

  const std::string& path() const { return path_; }
  hid_t id() const { return handle_.get(); }

  // What an absolute path ("/a/b") names.  Each link along the path is
  // checked with H5Lexists, and each step must be a group, so that a path
  // through a dataset or a dangling link is simply missing rather than an
  // HDF5 error.
  ObjectType type_of(const std::string& object_path) const;
  bool exists(const std::string& object_path) const {
    return type_of(object_path) != ObjectType::kMissing;
  }

  // The names of the links in a group, in name order.
  std::vector<std::string> member_names(const std::string& group_path) const;

  bool has_attribute(const std::string& object_path, const std::string& name) const;

  // Writes out and closes a file that was written to: a failure here means
  // the file is incomplete, so it is reported (kIo).  Every dataset, group
  // and attribute of the file must be closed before.
  void close();

 private:
  File(FileHandle handle, std::string path) : handle_(std::move(handle)), path_(std::move(path)) {}

  FileHandle handle_;
  std::string path_;
};

}  // namespace pelmora::hdf5
