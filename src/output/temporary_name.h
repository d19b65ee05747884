#pragma once

#include <string>

namespace pelmora {

// A fresh name "<name>.pelmora-<8 hex digits>.tmp" beside `target` for a
// file that is written whole and then renamed onto `target`; visible, so
// that the leftover of a run killed outright (SIGKILL) is easy to find.
// Random: create it with O_EXCL and draw again when it is taken.
std::string temporary_name(const std::string& target);

// A new empty file under a fresh temporary name beside `target`, created
// exclusively with mode 0666 (the kernel applies the umask and a folder's
// default access list, as for any new file), open for writing.  The
// descriptor is -1 when no name could be had (errno tells why).
struct TemporaryFile {
  int descriptor = -1;
  std::string name;
};
TemporaryFile create_temporary_file(const std::string& target);

}  // namespace pelmora
