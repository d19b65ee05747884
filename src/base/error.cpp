#include "base/error.h"

namespace pelmora {

void throw_allocation_failure(std::string_view where) {
  throw Error(ErrorKind::kMemory, "allocation failure " + std::string(where));
}

}  // namespace pelmora
