#pragma once

#include "numeric/indexed_array.h"
#include "state/console.h"
#include "state/distance_grid.h"
#include "state/engine_options.h"
#include "state/fft_workspace.h"
#include "state/photon_list.h"
#include "state/run_settings.h"

namespace pelmora {

// Everything one run works on.  The run driver owns it and hands it to every
// stage by reference; each stage reads what earlier stages left here and
// leaves its own results for later ones.
struct RunState {
  RunSettings settings;
  PhotonList photons;
  DistanceGrid grid;
  FftWorkspace fft;

  // [time slice][internal grid point]: rows 0..T+1, columns 0..M+1.
  DMatrix grid_forward;
  DMatrix grid_backward;

  // Scan mode, one entry per run over 0..runs+2.
  DVector run_likelihood;  // log L of each run, then P(D)
  DVector run_diffusion;   // D of each run, m^2/s

  EngineOptions engine;

  int warnings_flag = 0;  // set by every warning, never cleared
  int boundary_artifact_count = 0;

  Console console;

  // Prints a warning and sets warnings_flag.
  void warn(const char* text) {
    console.write(text);
    warnings_flag = 1;
  }
};

}  // namespace pelmora
