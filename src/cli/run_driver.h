#pragma once

namespace pelmora {

// The whole program: banner, options, photon file, the stages of the chosen
// mode, release and the final message.  Returns the exit status: 0 after a
// complete run, 1 after an error, whose message it has printed.
int run_pelmora(int argc, char** argv);

}  // namespace pelmora
