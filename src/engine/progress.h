#pragma once

#include "state/observer.h"

namespace pelmora {

// The integer percentage of a pass, reported whenever it changes.
class ProgressDisplay {
 public:
  // `span` is the step count that means 100 % (N - 1 photons, T - 1 slices).
  ProgressDisplay(Observer& observer, Pass pass, int span)
      : observer_(observer), pass_(pass), span_(span) {}

  // Reports step `step` if its percentage differs from that of the step before.
  void show(int step);

 private:
  Observer& observer_;
  Pass pass_;
  int span_;
};

}  // namespace pelmora
