#include "base/error.h"

namespace pelmora {

std::string_view Error::plain_message() const {
  std::string_view text(message_);
  while (!text.empty() && text.front() == '\n') text.remove_prefix(1);
  constexpr std::string_view kTag = "ERROR: ";
  if (text.substr(0, kTag.size()) == kTag) text.remove_prefix(kTag.size());
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  return text;
}

void throw_allocation_failure(std::string_view where) {
  throw Error(ErrorKind::kMemory, "\n\nERROR: allocation failure " + std::string(where) + "\n");
}

}  // namespace pelmora
