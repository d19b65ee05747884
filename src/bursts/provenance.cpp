#include "bursts/provenance.h"

#include "pelmora/version.h"

namespace pelmora {

namespace {

bool safe_in_shell(std::string_view word) {
  if (word.empty()) return false;
  for (const char c : word) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      std::string_view("-_./:,=+@%^").find(c) != std::string_view::npos;
    if (!safe) return false;
  }
  return true;
}

}  // namespace

Provenance provenance_of(std::string command) {
  return Provenance{kVersion, std::move(command)};
}

std::string shell_command(std::span<const std::string_view> arguments) {
  std::string line;
  for (const std::string_view word : arguments) {
    if (!line.empty()) line += ' ';
    if (safe_in_shell(word)) {
      line += word;
      continue;
    }
    line += '\'';
    for (const char c : word) {
      if (c == '\'') {
        line += "'\\''";
      } else {
        line += c;
      }
    }
    line += '\'';
  }
  return line;
}

}  // namespace pelmora
