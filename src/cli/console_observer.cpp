#include "cli/console_observer.h"

#include "cli/console_frame.h"
#include "state/analysis_results.h"

namespace pelmora {

namespace {

// Thirty characters each; the percentage field steps back over the last four.
const char* heading(Pass pass) {
  switch (pass) {
    case Pass::kForwardPhotons:
      return "Forward scan photons ...      ";
    case Pass::kBackwardPhotons:
      return "Backward scan photons ...     ";
    case Pass::kForwardGrid:
      return "Forward scan grid ...         ";
    case Pass::kBackwardGrid:
      return "Backward scan grid ...        ";
  }
  return "";
}

}  // namespace

void ConsoleObserver::pass_started(Pass pass) {
  state_.console.write(heading(pass));
}

void ConsoleObserver::pass_progress(Pass, int percent) {
  state_.console.print("\b\b\b\b%3d%%", percent);
}

void ConsoleObserver::pass_finished(Pass) {
  state_.console.write("  Done.\n");
}

void ConsoleObserver::run_started(const RunTicket& ticket) {
  // The scan's lines begin after an empty line.
  if (ticket.record == 0 && ticket.run == 0) state_.console.write("\n");
  state_.console.print("Run %3d of %3d:   D = %10.5e  m^2/s ", ticket.run + 1, ticket.runs,
                       ticket.diff_coeff);
}

void ConsoleObserver::run_finished(const RunTicket&, const CoefficientRun& run) {
  if (run.left_out != LeftOut::kNo) {
    state_.warn(
        "    log L undefined    WARNING: distribution lost to rounding residue, D too small; "
        "P(D) = 0");
  } else {
    state_.console.print("    log L = %10.5f", run.log_likelihood);
    if (run.boundary_photons > 0) state_.warn("    WARNING: possible boundary artifacts");
    if (run.residue_dominates) state_.warn("    WARNING: rounding residue dominates, D too small");
  }
  state_.console.write("\n");
}

void ConsoleObserver::warning(const Warning& warning) {
  state_.warn(framed_warning(warning));
}

}  // namespace pelmora
