#pragma once

#include <cstdio>
#include <string_view>

namespace pelmora {

// Where the program's console text goes: the standard error stream, or a
// stream a test supplies.
class Console {
 public:
  Console() = default;
  explicit Console(std::FILE* stream) : stream_(stream) {}

  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void write(std::string_view text);
  std::FILE* stream() const { return stream_; }

 private:
  std::FILE* stream_ = stderr;
};

}  // namespace pelmora
