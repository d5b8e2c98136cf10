// The external field over the whole volume: a plane wave travelling along +x, tilted in the
// xy plane by the incidence angle, H along z. It is not set up inside the box: each step it
// is injected on the main grid's planes next to the PML faces, so that the layer absorbs
// only the scattered part. Positions in cells, times and offsets as c*t in metres.
#pragma once
#include "solver/signal.h"
#include "solver/solverdata.h"

namespace rv {

struct ExternalWave {
  const ISignal* Signal = nullptr;  // none: every value is 0
  double IncAngle = 0;              // radians, -pi/2..pi/2
};

// cos(a) x the signal at the retarded time of the Ey edge (i, j), for Ey.
double PMLWaveCos(const SolverData& d, const ExternalWave& w, double i, double j, double offset);
// sin(a) (signed) x the signal at the Ex edge (i, j), for Ex.
double PMLWaveSin(const SolverData& d, const ExternalWave& w, double i, double j, double offset);
// The signal / 120 pi at the Hz face (i, j), for Hz.
double PMLWaveH(const SolverData& d, const ExternalWave& w, double i, double j, double offset);

// Adds sign x the wave's Hz on the planes next to the PML faces (X faces, then Y faces).
void AddPMLWaveH(SolverData& d, const ExternalWave& w, int sign, double offset);
// Adds sign x the wave's Ey and Ex on the PML interface planes and on the edge lines where
// two PML faces meet.
void AddPMLWaveE(SolverData& d, const ExternalWave& w, int sign, double offset);

}  // namespace rv
