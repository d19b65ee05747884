#pragma once

#include <functional>

namespace pelmora {

// Asked by a writer between blocks of about a megabyte: true when the
// caller wants the writing abandoned (the writer then throws an Error of
// kind kCancelled and leaves any earlier file as it was).  It may cost a
// system call.  An empty one never stops.
using StopRequest = std::function<bool()>;

}  // namespace pelmora
