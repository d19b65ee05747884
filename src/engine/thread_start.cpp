#include "engine/thread_start.h"

#include "state/text_format.h"

namespace pelmora {

Warning fewer_threads_warning(int missing, int wanted) {
  return {WarningKind::kFewerThreads,
          format_text("the system refused %d of %d worker threads; the work goes on "
                      "with fewer (same results, more time).",
                      missing, wanted),
          0.0, missing, wanted};
}

}  // namespace pelmora
