#include "base/regular_file.h"

#include <sys/stat.h>

namespace pelmora {

namespace {

const char* kind_of_entry(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISSOCK(mode)) return "a socket";
  return "a device";
}

}  // namespace

std::optional<std::string> not_a_regular_file(const std::string& path) {
  struct stat entry {};
  if (stat(path.c_str(), &entry) != 0 || S_ISREG(entry.st_mode)) return std::nullopt;
  return "Could not read from file " + path + ": it is " + kind_of_entry(entry.st_mode) +
         ", not a regular file.";
}

}  // namespace pelmora
