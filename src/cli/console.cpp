#include "cli/console.h"

#include <cstdarg>
#include <cstdlib>

#include "base/error.h"

namespace pelmora {

void Console::print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stream_, format, args);
  va_end(args);
}

void Console::write(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream_);
}

ConsoleBuffer::ConsoleBuffer() : stream_(open_memstream(&buffer_, &length_)) {
  if (stream_ == nullptr) throw_allocation_failure("in console buffer");
  console_ = Console(stream_);
}

ConsoleBuffer::~ConsoleBuffer() {
  std::fclose(stream_);
  std::free(buffer_);
}

std::string ConsoleBuffer::text() {
  std::fflush(stream_);
  return std::string(buffer_, length_);
}

}  // namespace pelmora
