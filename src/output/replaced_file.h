// A result that a library writes by file name (HDF5 does) put in place whole
// or not at all: it is written under a temporary name beside the target
// (beside the file a symbolic link leads to) and renamed onto the target by
// commit(); until then the earlier file stays, and a replacement that is
// given up removes its temporary file.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "output/stop_request.h"

namespace pelmora {

class ReplacedFile {
 public:
  // Reserves the temporary name; throws "Could not write to file
  // %s" (kIo, the name as given) when the target cannot be replaced.
  explicit ReplacedFile(std::string path);
  ~ReplacedFile();
  ReplacedFile(const ReplacedFile&) = delete;
  ReplacedFile& operator=(const ReplacedFile&) = delete;

  // Where to write the new contents.
  const std::string& temporary() const { return temporary_; }

  // Renames the written file onto the target, with the permissions of the
  // file it replaces.  Throws the write error (kIo), or kCancelled when
  // `stop` says so first; either way the earlier file stays.
  void commit(const StopRequest& stop = {});

 private:
  [[noreturn]] void fail();

  std::string path_;
  std::string target_;
  std::string temporary_;
  std::optional<mode_t> mode_;
};

}  // namespace pelmora
