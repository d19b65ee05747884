#include "output/replaced_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include "base/error.h"
#include "output/link_target.h"
#include "output/temporary_name.h"
#include "state/text_format.h"

namespace pelmora {

ReplacedFile::ReplacedFile(std::string path) : path_(std::move(path)) {
  const LinkTarget target = follow_links(path_);
  struct stat existing {};
  const bool exists = stat(path_.c_str(), &existing) == 0;
  if (target.through_proc || !target.resolved || (exists && !S_ISREG(existing.st_mode)) ||
      (exists && access(path_.c_str(), W_OK) != 0)) {
    fail();
  }
  if (exists) mode_ = existing.st_mode & 07777;
  TemporaryFile file = create_temporary_file(target.path);
  if (file.descriptor < 0) fail();
  close(file.descriptor);
  target_ = target.path;
  temporary_ = std::move(file.name);
}

ReplacedFile::~ReplacedFile() {
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

void ReplacedFile::commit(const StopRequest& stop) {
  if (stop && stop()) {
    unlink(temporary_.c_str());
    temporary_.clear();
    throw Error(ErrorKind::kCancelled,
                format_text("Writing to file %s was stopped; the file is as it "
                            "was before.",
                            path_.c_str()));
  }
  if (mode_ && chmod(temporary_.c_str(), *mode_) != 0) fail();
  if (rename(temporary_.c_str(), target_.c_str()) != 0) fail();
  temporary_.clear();
}

void ReplacedFile::fail() {
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    temporary_.clear();
  }
  throw Error(ErrorKind::kIo, format_text("Could not write to file %s", path_.c_str()));
}

}  // namespace pelmora
