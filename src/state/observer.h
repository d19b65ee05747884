// What happens while an analysis runs, reported as it happens: the progress
// of each pass, each run of a likelihood scan, and each warning found on the
// way.  A library caller's observer may show progress or ask the work to
// stop; the command line's observer prints the program's console text.
//
// Every call comes from the thread that called the analysis, in the order in
// which the events would occur if all work ran on that thread; work that ran
// ahead on another thread is reported once its turn comes.
#pragma once

#include <string>

namespace pelmora {

// The four passes of a trajectory analysis, in the order they are reported.
enum class Pass { kForwardPhotons, kBackwardPhotons, kForwardGrid, kBackwardGrid };

enum class WarningKind {
  kSimultaneousPhotons,  // two photons at one time; the second was moved (the text names the time)
  kRoundingResidue,      // negative weights beyond tolerance (value: the most negative one)
  kNoOverlap,            // slices whose forward and backward rows do not overlap (count of total)
  kBoundarySlices,       // slices whose distribution reaches the grid's edges (count of total)
  kFewerThreads,         // worker threads that could not be started (count of total)
};

struct Warning {
  WarningKind kind;
  std::string text;  // the plain sentence (the command line frames it by kind)
  double value = 0.0;
  int count = 0;
  int total = 0;
};

// One run of a likelihood scan: record `record` of `records`, coefficient
// `run` of `runs` (all 0-based).
struct RunTicket {
  int record = 0;
  int records = 1;
  int run = 0;
  int runs = 0;
  double diff_coeff = 0.0;  // m^2/s
};

struct CoefficientRun;

class Observer {
 public:
  virtual ~Observer() = default;

  virtual void pass_started(Pass) {}
  // The integer percentage of the pass, whenever it changes.
  virtual void pass_progress(Pass, int /*percent*/) {}
  virtual void pass_finished(Pass) {}

  // A run is about to be waited for, and its result.
  virtual void run_started(const RunTicket&) {}
  virtual void run_finished(const RunTicket&, const CoefficientRun&) {}

  // Warnings found while the work runs; results list them too.
  virtual void warning(const Warning&) {}

  // Asked every so often (at least every tenth of a second while work
  // runs); false stops the work, which then throws an Error of kind
  // kCancelled and leaves no thread running.
  virtual bool keep_going() { return true; }
};

// An observer that ignores everything.
Observer& silent_observer();

}  // namespace pelmora
