// A result file written through one large buffer, with every write and the
// final close checked.  A failure is never reported as success: it throws
// "\n\nERROR: Could not write to file %s\n" as an Error of kind kIo, after
// removing the truncated file if it is a regular file.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "output/number_format.h"

namespace pelmora {

class ResultFile {
 public:
  // Opens `path` for writing as text, replacing any earlier file.  Throws
  // the write error when it cannot be opened.
  explicit ResultFile(std::string path);
  // Closes without checking: every writer calls close() itself, and a
  // destructor must not throw.
  ~ResultFile();
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  void text(std::string_view characters) {
    if (characters.size() > free_space()) flush();
    if (characters.size() > free_space()) {
      write_through(characters);
      return;
    }
    characters.copy(buffer_.get() + used_, characters.size());
    used_ += characters.size();
  }
  void character(char c) {
    if (free_space() == 0) flush();
    buffer_[used_++] = c;
  }
  void fixed(double value) { number(format_fixed, value); }  // "%f"
  void integer(int value) { number(format_int, value); }     // "%d"
  void hex02(int value) { number(format_hex02, value); }     // "%02x"

  // Any printf conversion, for headers and other rare lines.
  void format(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Writes out what the buffer holds and closes the file; a failure of
  // either throws.
  void close();

 private:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

  std::size_t free_space() const { return kBufferSize - used_; }
  template <typename Value>
  void number(char* (*convert)(char*, Value), Value value) {
    if (free_space() < kMaxNumberLength) flush();
    used_ = static_cast<std::size_t>(convert(buffer_.get() + used_, value) - buffer_.get());
  }
  void flush();
  void write_through(std::string_view characters);
  [[noreturn]] void fail();
  [[noreturn]] void throw_write_error() const;

  std::string path_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  // Identity of what was opened, so that a failure removes that very file
  // and only when it is a regular file (never a device such as /dev/full).
  bool regular_file_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace pelmora
