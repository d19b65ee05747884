#pragma once

#include <chrono>
#include <cstdio>

#include "state/observer.h"

namespace pelmora::bursts_cli {

// The progress of a joint scan on the console: bursts done, their rate and
// the time left, on one line that is rewritten on a terminal (a line every
// tenth of the work otherwise), at most twice a second, from the start once
// per value of a scanned model parameter.  Quiet prints nothing.  Warnings
// are not printed: the library counts simultaneous photons and reports them
// with the result.
class ScanProgress : public Observer {
 public:
  ScanProgress(std::FILE* stream, bool quiet);

  // The scan of `bursts` bursts begins.
  void start(int bursts);
  void run_finished(const RunTicket& ticket, const CoefficientRun& run) override;
  // Ends the progress line.
  void finish();

 private:
  void show(bool last);

  std::FILE* stream_;
  bool quiet_;
  bool terminal_;
  int bursts_ = 0;
  int done_ = 0;
  int last_tenth_ = 0;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_shown_ = start_;
};

}  // namespace pelmora::bursts_cli
