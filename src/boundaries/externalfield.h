// The external field over the whole volume: a plane wave travelling along +x, tilted in the
// xy plane by the incidence angle, H along z. It is not set up inside the box: each step it
// is injected on the main grid's planes next to the PML faces, so that the layer absorbs
// only the scattered part. Positions in cells, times and offsets as c*t in metres.
#pragma once
#include <string>

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

// Whether the run's faces carry the wave at the incidence angle (degrees as entered): empty
// when they do, else the message that refuses the run, naming the faces. The PML takes the
// wave in at its interface and the other absorbing faces take it out of their own update,
// each on its own terms, so PML does not mix with them; the 1/R faces know the wave along x
// only; a PEC or symmetry face holds only where the wave itself meets its condition.
std::string ExternalFieldFaceConflict(const SolverData& d, double angleDeg);

}  // namespace rv
