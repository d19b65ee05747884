// The command line's handling of the signals that end a run while it writes
// its results.  SIGINT, SIGTERM and SIGHUP (Ctrl-C, a batch system's time
// limit, a closed terminal) are held back while a result file is written:
// the writer sees them pending, removes its temporary file and stops, and
// releasing them then ends the process by the signal as before (status
// 128 + signal in a shell).  No handler is installed and nothing global is
// kept: the held signals wait in the kernel.
#pragma once

#include <signal.h>

#include "output/stop_request.h"

namespace pelmora {

// Holds back, in this thread, those of SIGINT, SIGTERM and SIGHUP that
// would end the process now: not ignored (nohup's SIGHUP) and not blocked
// already by whoever started it.
// The workers have ended before any result is written, so this thread is
// the only one a signal can be delivered to.
class HeldTerminationSignals {
 public:
  HeldTerminationSignals();
  // Restores the signal mask: a signal that came meanwhile ends the process
  // here.
  ~HeldTerminationSignals();
  HeldTerminationSignals(const HeldTerminationSignals&) = delete;
  HeldTerminationSignals& operator=(const HeldTerminationSignals&) = delete;

  // True once one of the held signals is pending.
  StopRequest stop_request() const;

 private:
  sigset_t held_;
  sigset_t previous_;
};

// An exceeded file-size limit (ulimit -f) then fails the write, which
// reports it, instead of killing the process without a word.
void ignore_file_size_signal();

}  // namespace pelmora
