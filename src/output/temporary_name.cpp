#include "output/temporary_name.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <filesystem>

#include "state/text_format.h"

namespace pelmora {

namespace {

// Attempts at a free temporary name; each collision is a neighbour's
// temporary file or a leftover of a killed run.
constexpr int kNameAttempts = 100;
// Room for the suffix within the usual limit of 255 bytes per name.
constexpr std::size_t kMaxBaseLength = 200;

std::uint64_t random_number() {
  std::uint64_t value = 0;
  if (getrandom(&value, sizeof value, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof value)) {
    return value;
  }
  // Without the random source, a name that differs between processes and
  // calls is enough: O_EXCL refuses one that is taken.
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_nsec) * 2654435761u ^
         static_cast<std::uint64_t>(now.tv_sec) ^ (static_cast<std::uint64_t>(getpid()) << 32);
}

}  // namespace

std::string temporary_name(const std::string& target) {
  namespace fs = std::filesystem;
  const fs::path path(target);
  const std::string base = path.filename().string().substr(0, kMaxBaseLength);
  const std::string name =
      format_text("%s.pelmora-%08llx.tmp", base.c_str(),
                  static_cast<unsigned long long>(random_number() & 0xffffffffu));
  return (path.parent_path() / name).string();
}

TemporaryFile create_temporary_file(const std::string& target) {
  TemporaryFile file;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    file.name = temporary_name(target);
    file.descriptor = open(file.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file.descriptor >= 0 || errno != EEXIST) return file;
  }
  return file;
}

}  // namespace pelmora
