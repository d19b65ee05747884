#pragma once

#include "cli/run_state.h"
#include "state/observer.h"

namespace pelmora {

// Prints what happens during a run as the program's console text: the
// heading, percentage field and closing text of each trajectory pass, one
// line per run of a likelihood scan, and every warning (which sets the
// warnings flag).
class ConsoleObserver : public Observer {
 public:
  explicit ConsoleObserver(RunState& state) : state_(state) {}

  void pass_started(Pass pass) override;
  void pass_progress(Pass pass, int percent) override;
  void pass_finished(Pass pass) override;
  void run_started(const RunTicket& ticket) override;
  void run_finished(const RunTicket& ticket, const CoefficientRun& run) override;
  void warning(const Warning& warning) override;

 private:
  RunState& state_;
};

}  // namespace pelmora
