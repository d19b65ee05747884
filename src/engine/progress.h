#pragma once

namespace pelmora {

class Console;

// The percentage field of a scan's heading line: "\b\b\b\b%3d%%" whenever the
// integer percentage changes.  The four backspaces step back over the last
// four blanks of the heading (or the previous field).
class ProgressDisplay {
 public:
  // `span` is the step count that means 100 % (N - 1 photons, T - 1 slices).
  ProgressDisplay(Console& console, int span) : console_(console), span_(span) {}

  // Shows step `step` if its percentage differs from that of the step before.
  void show(int step);

 private:
  Console& console_;
  int span_;
};

}  // namespace pelmora
