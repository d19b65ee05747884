#include "engine/progress.h"

#include <cmath>

namespace pelmora {

void ProgressDisplay::show(int step) {
  // Formed in floating point, so that both percentages round down alike.
  const double percent = std::floor(step * 100.0 / span_);
  const double previous = std::floor((step - 1) * 100.0 / span_);
  if (percent != previous) observer_.pass_progress(pass_, static_cast<int>(percent));
}

}  // namespace pelmora
