#include "state/observer.h"

namespace pelmora {

Observer& silent_observer() {
  // Holds no state, so sharing one among all callers and threads is safe.
  static Observer silent;
  return silent;
}

}  // namespace pelmora
