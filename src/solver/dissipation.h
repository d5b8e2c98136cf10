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
#include <array>
#include <vector>

#include "solver/edgematerial.h"
#include "solver/signal.h"
#include "solver/solverdata.h"

namespace rv {

// The scattering centre, in node indices (an edge's distance is taken from its mid-point).
struct tScatterCentre {
  int I = 0, J = 0, K = 0;
};

// The per-run part of the 1/R faces: every boundary edge's weights, worked out once from
// the centre, the grid and its inner edge's E-update coefficients, so a step only combines
//   new = wa*a + wb*b + wc*curl
// of the boundary edge's old value a, the inner edge's b and the inner edge's curl of H.
// (In-step branch, D = RB - RI <= c*dt: the inner edge at t + dt - D, interpolated between
// b and b + (Ca - 1)*b + Cb*curl, times RI/RB; else R*E at RB - c*dt interpolated between
// the two edges, over RB.)
class DissipationRun {
public:
  // Weights for d's grid, cell sizes, step and 1/R faces. False when an axis has fewer
  // than 3 nodes or the cache was built for another grid.
  bool Prepare(const SolverData& d, const EdgeCoefCache& cache, const tScatterCentre& centre);
  // True when prepared for exactly this grid, steps, faces and centre.
  bool PreparedFor(const SolverData& d, const tScatterCentre& centre) const;
  // New values of the 1/R faces' tangential E. False, with nothing changed, when not
  // prepared for d or the field arrays do not have the grid's lengths.
  bool Apply(SolverData& d, const ISignal* signal) const;

  // One row of boundary edges: start of the boundary and inner edges, the axis the row runs
  // along, its length, and where its weights start in its slot's plane.
  struct Row {
    int comp = 3, slot = 0;  // 1 = Ex, 2 = Ey, 3 = Ez; the Mur planes' slot numbering
    int b[3] = {}, n[3] = {};
    int dir = 2, count = 0;
    size_t w0 = 0;
    int wstep = 1;
  };
  struct Weights {
    float a = 0, b = 0, c = 0;
  };

private:
  int nx_ = 0, ny_ = 0, nz_ = 0;
  double dx_ = 0, dy_ = 0, dz_ = 0, dt_ = 0;
  tScatterCentre centre_;
  FaceFlags faces_{};
  std::vector<Row> rows_;
  std::array<std::vector<Weights>, 12> w_;
};

// Prepares and applies in one call; a run keeps one DissipationRun instead.
bool ApplyDissipation(SolverData& d, const EdgeCoefCache& cache, const ISignal* signal,
                      const tScatterCentre& centre);

}  // namespace rv
