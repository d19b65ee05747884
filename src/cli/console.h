#pragma once

#include <cstdio>
#include <string>
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

// Console text held in memory, for tests that compare what a run printed.
class ConsoleBuffer {
 public:
  ConsoleBuffer();
  ~ConsoleBuffer();
  ConsoleBuffer(const ConsoleBuffer&) = delete;
  ConsoleBuffer& operator=(const ConsoleBuffer&) = delete;

  Console& console() { return console_; }
  // Everything written so far.
  std::string text();

 private:
  char* buffer_ = nullptr;
  std::size_t length_ = 0;
  std::FILE* stream_ = nullptr;
  Console console_;
};

}  // namespace pelmora
