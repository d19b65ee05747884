// Where a file name leads once the symbolic links of its last component are
// followed, dangling ones included: the name under which a new file there
// would be created.  Both the result-file writer (which puts its temporary
// file beside that name) and the command line's check for results that
// would overwrite each other or the input need the same answer.
#pragma once

#include <string>

namespace pelmora {

struct LinkTarget {
  // `name` itself when it is no symbolic link; the directories on the way
  // are left as they are written (the system follows them).
  std::string path;
  // A link in /proc was on the way (/dev/stdout, /dev/fd/3): the name stands
  // for an open descriptor of the caller, which is written into, never
  // replaced.  `path` is then meaningless.
  bool through_proc = false;
  // False after a loop of links or an unreadable link; `path` is then the
  // last name reached.
  bool resolved = true;
};

LinkTarget follow_links(const std::string& name);

}  // namespace pelmora
