#include "output/result_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <string>

#include "base/error.h"
#include "output/link_target.h"
#include "output/temporary_name.h"
#include "state/text_format.h"

namespace pelmora {

ResultFile::ResultFile(std::string path, StopRequest stop)
    : path_(std::move(path)),
      stop_(std::move(stop)),
      buffer_(std::make_unique<char[]>(kBufferSize)) {
  const LinkTarget target = follow_links(path_);
  struct stat existing {};
  const bool exists = stat(path_.c_str(), &existing) == 0;
  // A pipe, a device or a descriptor of the caller is a stream that cannot
  // be replaced; a loop of links cannot be opened and gives the error.
  if (target.through_proc || !target.resolved || (exists && !S_ISREG(existing.st_mode))) {
    descriptor_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor_ < 0) throw_write_error();
    return;
  }
  // Replacing a file that may not be written would bypass its protection.
  if (exists && access(path_.c_str(), W_OK) != 0) throw_write_error();
  create_temporary(target.path,
                   exists ? std::optional<mode_t>(existing.st_mode & 07777) : std::nullopt);
}

void ResultFile::create_temporary(const std::string& target, std::optional<mode_t> mode) {
  TemporaryFile file = create_temporary_file(target);
  if (file.descriptor < 0) throw_write_error();
  descriptor_ = file.descriptor;
  temporary_ = std::move(file.name);
  target_ = target;
  if (mode && fchmod(descriptor_, *mode) != 0) fail();
}

ResultFile::~ResultFile() {
  discard();
}

void ResultFile::format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string line = format_text_list(format, args);
  va_end(args);
  text(line);
}

void ResultFile::flush() {
  if (used_ == 0) return;
  write_all({buffer_.get(), used_});
  used_ = 0;
}

void ResultFile::write_through(std::string_view characters) {
  flush();
  write_all(characters);
}

void ResultFile::write_all(std::string_view bytes) {
  check_stop();
  while (!bytes.empty()) {
    const ssize_t written = write(descriptor_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    // A file-size limit or a full disk shows as a short write, then an error
    // (SIGXFSZ is the caller's to ignore).
    if (written <= 0) fail();
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void ResultFile::close() {
  flush();
  check_stop();
  const int descriptor = descriptor_;
  descriptor_ = -1;
  // Network file systems may report a full quota only here.
  if (::close(descriptor) != 0) fail();
  if (temporary_.empty()) return;
  if (rename(temporary_.c_str(), target_.c_str()) != 0) fail();
  temporary_.clear();
}

void ResultFile::check_stop() {
  if (!stop_ || !stop_()) return;
  const bool replacing = !temporary_.empty();
  discard();
  throw Error(ErrorKind::kCancelled,
              format_text(replacing ? "Writing to file %s was stopped; the file is "
                                      "as it was before."
                                    : "Writing to file %s was stopped; what it "
                                      "received is incomplete.",
                          path_.c_str()));
}

void ResultFile::discard() noexcept {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
    descriptor_ = -1;
  }
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    temporary_.clear();
  }
}

void ResultFile::fail() {
  discard();
  throw_write_error();
}

void ResultFile::throw_write_error() const {
  throw Error(ErrorKind::kIo, format_text("Could not write to file %s", path_.c_str()));
}

}  // namespace pelmora
