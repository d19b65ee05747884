#include "cli/bursts/scan_progress.h"

#include <unistd.h>

namespace pelmora::bursts_cli {

ScanProgress::ScanProgress(std::FILE* stream, bool quiet)
    : stream_(stream), quiet_(quiet), terminal_(isatty(fileno(stream)) != 0) {}

void ScanProgress::start(int bursts) {
  bursts_ = bursts;
  done_ = 0;
  last_tenth_ = 0;
  start_ = std::chrono::steady_clock::now();
  last_shown_ = start_;
}

void ScanProgress::run_finished(const RunTicket& ticket, const CoefficientRun&) {
  if (ticket.run != ticket.runs - 1) return;
  ++done_;
  show(done_ == bursts_);
  // A scanned model parameter scans the bursts again at its next value.
  if (done_ == bursts_) {
    finish();
    start(bursts_);
  }
}

void ScanProgress::show(bool last) {
  if (quiet_ || bursts_ == 0) return;
  const auto now = std::chrono::steady_clock::now();
  const int tenth = done_ * 10 / bursts_;
  if (terminal_ ? !last && now - last_shown_ < std::chrono::milliseconds(500)
                : tenth == last_tenth_ && !last) {
    return;
  }
  last_shown_ = now;
  last_tenth_ = tenth;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = seconds > 0 ? done_ / seconds : 0.0;
  const double left = rate > 0 ? (bursts_ - done_) / rate : 0.0;
  std::fprintf(stream_, "%s  Scanning bursts: %d of %d (%d %%), %.1f bursts/s, %s%.0f s left%s",
               terminal_ ? "\r" : "", done_, bursts_, done_ * 100 / bursts_, rate,
               last ? "" : "about ", left, terminal_ ? "   " : "\n");
  shown_ = true;
}

void ScanProgress::finish() {
  if (shown_ && terminal_) std::fputc('\n', stream_);
  shown_ = false;
}

}  // namespace pelmora::bursts_cli
