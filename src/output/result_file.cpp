#include "output/result_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <string>

#include "base/error.h"
#include "state/text_format.h"

namespace pelmora {

ResultFile::ResultFile(std::string path) : path_(std::move(path)) {
  file_ = std::fopen(path_.c_str(), "w");
  if (file_ == nullptr) throw_write_error();
  // The buffer below does all buffering; full chunks go straight to the file.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  buffer_ = std::make_unique<char[]>(kBufferSize);
  struct stat opened {};
  if (fstat(fileno(file_), &opened) == 0 && S_ISREG(opened.st_mode)) {
    regular_file_ = true;
    device_ = opened.st_dev;
    inode_ = opened.st_ino;
  }
}

ResultFile::~ResultFile() {
  if (file_ != nullptr) std::fclose(file_);
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
  if (std::fwrite(buffer_.get(), 1, used_, file_) != used_) fail();
  used_ = 0;
}

void ResultFile::write_through(std::string_view characters) {
  flush();
  if (std::fwrite(characters.data(), 1, characters.size(), file_) != characters.size()) fail();
}

void ResultFile::close() {
  flush();
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) fail();
}

void ResultFile::fail() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  // A truncated result must not pass for a complete one.  Remove it only if
  // the name still leads, without a symbolic link, to the regular file that
  // was opened: devices, pipes and files that replaced it are left alone.
  struct stat named {};
  if (regular_file_ && lstat(path_.c_str(), &named) == 0 && S_ISREG(named.st_mode) &&
      named.st_dev == device_ && named.st_ino == inode_) {
    unlink(path_.c_str());
  }
  throw_write_error();
}

void ResultFile::throw_write_error() const {
  throw Error(ErrorKind::kIo, format_text("\n\nERROR: Could not write to file %s\n", path_.c_str()));
}

}  // namespace pelmora
