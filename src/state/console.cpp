#include "state/console.h"

#include <cstdarg>

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

}  // namespace pelmora
