#include "output/link_target.h"

#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace pelmora {

namespace {

// The limit the kernel applies to one lookup.
constexpr int kMaxLinks = 40;

// procfs, from <linux/magic.h>; its links are descriptors, not names.
constexpr long kProcFilesystem = 0x9fa0;

std::string folder_of(const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(name).parent_path();
  return folder.empty() ? "." : folder.string();
}

bool in_proc(const std::string& name) {
  struct statfs filesystem {};
  return statfs(folder_of(name).c_str(), &filesystem) == 0 &&
         static_cast<long>(filesystem.f_type) == kProcFilesystem;
}

}  // namespace

LinkTarget follow_links(const std::string& name) {
  LinkTarget target{name};
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat entry {};
    if (lstat(target.path.c_str(), &entry) != 0 || !S_ISLNK(entry.st_mode)) return target;
    if (in_proc(target.path)) {
      target.through_proc = true;
      return target;
    }
    std::string destination(static_cast<std::size_t>(entry.st_size) + 1, '\0');
    const ssize_t length = readlink(target.path.c_str(), destination.data(), destination.size());
    // A link that changed length since lstat is read again on the next turn.
    if (length < 0) break;
    if (static_cast<std::size_t>(length) == destination.size()) continue;
    destination.resize(static_cast<std::size_t>(length));
    const std::filesystem::path folder = std::filesystem::path(target.path).parent_path();
    target.path = destination.starts_with('/') || folder.empty() ? destination
                                                                 : (folder / destination).string();
  }
  target.resolved = false;
  return target;
}

}  // namespace pelmora
