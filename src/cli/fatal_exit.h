#pragma once

namespace pelmora {

// Ends the process after an error whose "ERROR:" message the caller has
// already printed: adds the fatal-error line and exits with status 1.
[[noreturn]] void fatal_exit();

}  // namespace pelmora
