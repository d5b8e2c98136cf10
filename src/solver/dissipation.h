// The "Dissipation 1/R" absorbing faces: the field leaving a face is taken as a spherical
// wave from a scattering centre inside the grid, so R*E is carried outward along the ray.
// Each tangential E edge of such a face takes the value of the edge one cell further in at
// the time the wave needed to cross the radial distance between them, scaled by the ratio
// of their distances. With the external field on, the incident plane wave (normal
// incidence along +x: E along y, H along z = E/377) is taken out first and put back after.
//
// Called once per step after the H update and before the E update, with CurTime set back
// by one step: E then holds the previous step, H is half a step newer, and the values
// written stand for the new step (the E update leaves the outer planes alone).
#pragma once
#include "solver/edgematerial.h"
#include "solver/signal.h"
#include "solver/solverdata.h"

namespace rv {

// The scattering centre, in node indices (an edge's distance is taken from its mid-point).
struct tScatterCentre {
  int I = 0, J = 0, K = 0;
};

// Where one boundary edge and its inner edge lie: distances from the centre and the x
// positions of the incident wave, in metres.
struct tDissipationEdge {
  double RBoundary = 0, RInner = 0;
  double XInner = 0, XBoundary = 0;
};

// What one call sees of the run: time (already set back by one step), step, the incident
// wave (none when NoSource or no signal), the inner edge's Courant numbers C1, C2 of its
// curl and its E-update coefficients.
struct tDissipationStep {
  double CurTime = 0, TimeStep = 0, HalfDx = 0;
  const ISignal* Signal = nullptr;
  bool NoSource = true;
  double C1 = 0, C2 = 0, Ca = 1, Cb = 0;
};

// The new boundary value of one edge from the boundary edge's old value Eb, the inner edge's
// En and the four H values of the inner edge's curl (H1 - H2)*C1 - (H3 - H4)*C2.
// Component 1 = Ex, 2 = Ey, 3 = Ez.
float DissipationCell(float Eb, float En, double H1, double H2, double H3, double H4,
                      int Component, const tDissipationEdge& g, const tDissipationStep& s);

// Every face whose DissipationFace flag is set, rim lines included (those parallel to z and
// y belong to the X faces, those parallel to x to the Y faces). False, with nothing changed,
// when an axis has fewer than 3 nodes, the field arrays do not have the grid's lengths or
// the coefficient cache was built for another grid.
bool ApplyDissipation(SolverData& d, const EdgeCoefCache& cache, const ISignal* signal,
                      const tScatterCentre& centre);

}  // namespace rv
