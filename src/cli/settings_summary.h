#pragma once

namespace pelmora {

struct RunState;

// The output-file lines that follow the photon reader's report.
void print_output_files(RunState& state);

// The parameters of the run, printed before any computation.
void print_settings_summary(RunState& state);

}  // namespace pelmora
