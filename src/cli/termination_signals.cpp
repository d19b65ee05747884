#include "cli/termination_signals.h"

#include <pthread.h>

namespace pelmora {

namespace {

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

bool ignored(int signal_number) {
  struct sigaction action {};
  return sigaction(signal_number, nullptr, &action) == 0 && action.sa_handler == SIG_IGN;
}

}  // namespace

HeldTerminationSignals::HeldTerminationSignals() {
  pthread_sigmask(SIG_BLOCK, nullptr, &previous_);
  sigemptyset(&held_);
  // A blocked signal is kept pending even when its action is to ignore it,
  // and one blocked by whoever started the run would not end it anyway:
  // neither may stop a writer.
  for (const int signal_number : kTerminationSignals) {
    if (!ignored(signal_number) && sigismember(&previous_, signal_number) == 0) {
      sigaddset(&held_, signal_number);
    }
  }
  pthread_sigmask(SIG_BLOCK, &held_, nullptr);
}

HeldTerminationSignals::~HeldTerminationSignals() {
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

StopRequest HeldTerminationSignals::stop_request() const {
  return [held = held_] {
    sigset_t pending;
    if (sigpending(&pending) != 0) return false;
    for (const int signal_number : kTerminationSignals) {
      if (sigismember(&held, signal_number) == 1 && sigismember(&pending, signal_number) == 1) {
        return true;
      }
    }
    return false;
  };
}

void ignore_file_size_signal() {
  signal(SIGXFSZ, SIG_IGN);
}

}  // namespace pelmora
