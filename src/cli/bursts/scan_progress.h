#pragma once

#include <chrono>
#include <cstdio>

#include "state/observer.h"

namespace pelmora::bursts_cli {

// The progress of a joint scan on the console: bursts done, their rate and
// the time left, on one line that is rewritten on a terminal (a line every
// tenth of the work otherwise), at most twice a second.  Quiet prints
// nothing.  Warnings are counted, not printed: a measurement can hold
// thousands of simultaneous photons.
class ScanProgress : public Observer {
 public:
  ScanProgress(std::FILE* stream, int bursts, bool quiet);

  void run_finished(const RunTicket& ticket, const CoefficientRun& run) override;
  void warning(const Warning& warning) override;

  // Ends the progress line.
  void finish();
  int simultaneous_photons() const { return simultaneous_photons_; }
  int refused_threads() const { return refused_threads_; }

 private:
  void show(bool last);

  std::FILE* stream_;
  int bursts_;
  bool quiet_;
  bool terminal_;
  int done_ = 0;
  int last_tenth_ = 0;
  bool shown_ = false;
  int simultaneous_photons_ = 0;
  int refused_threads_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_shown_ = start_;
};

}  // namespace pelmora::bursts_cli
