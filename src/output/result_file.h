// A result file written through one large buffer.  The name a user gives
// holds either the complete new result or whatever it held before: never a
// truncated file, nor a mix with a neighbouring run writing the same name.
// A new or regular file is written to a temporary file beside it (beside
// the file a symbolic link leads to) and renamed onto its name only when
// every write and the close have succeeded; an existing file's permissions
// carry over, a new file gets those of the umask.  A name that leads to
// anything else (a pipe, a device such as /dev/null, a descriptor such as
// /dev/stdout) is written into directly, as a stream.
//
// Failures throw an Error and remove the temporary file: kIo with
// "Could not write to file %s" (the name as given) when the
// file cannot be created, written, closed or renamed, or when an existing
// file is not writable; kCancelled when `stop`, asked before every write and
// before the rename, says that the caller wants to stop.  An object
// destroyed before close() also removes its temporary file.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "output/number_format.h"
#include "output/stop_request.h"

namespace pelmora {

class ResultFile {
 public:
  // Creates the (temporary) file, or opens the stream.  Throws the write
  // error when that cannot be done.
  explicit ResultFile(std::string path, StopRequest stop = {});
  // Removes the temporary file of a result that was not closed: the earlier
  // file stays.  Never throws.
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

  // Writes out what the buffer holds, closes the file and puts it in place
  // of the earlier one; a failure of any step throws.
  void close();

 private:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

  std::size_t free_space() const { return kBufferSize - used_; }
  template <typename Value>
  void number(char* (*convert)(char*, Value), Value value) {
    if (free_space() < kMaxNumberLength) flush();
    used_ = static_cast<std::size_t>(convert(buffer_.get() + used_, value) - buffer_.get());
  }
  // `mode`: the permissions of the file it replaces; none for a new file.
  void create_temporary(const std::string& target, std::optional<mode_t> mode);
  void flush();
  void write_through(std::string_view characters);
  void write_all(std::string_view bytes);
  void check_stop();
  // Closes the descriptor and removes the temporary file, if any.
  void discard() noexcept;
  [[noreturn]] void fail();
  [[noreturn]] void throw_write_error() const;

  std::string path_;  // as given, for the messages
  StopRequest stop_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  int descriptor_ = -1;
  // Empty when the file is written directly.
  std::string temporary_;
  std::string target_;  // the name the temporary file is renamed to
};

}  // namespace pelmora
