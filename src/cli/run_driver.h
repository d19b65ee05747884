#pragma once

namespace pelmora {

// The whole program: banner, options, photon file, the stages of the chosen
// mode, release and the final message.  Returns the exit status of a
// complete run; every error ends the process before it returns.
int run_pelmora(int argc, char** argv);

}  // namespace pelmora
