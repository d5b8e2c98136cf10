// The vacuum box the boundary benchmarks time their passes on: N³ cells of 1 mm, c·dt half
// a cell, fields allocated and zero.
#pragma once
#include "solver/constants.h"
#include "solver/solverdata.h"

namespace rv::bench {

inline bool VacuumBox(SolverData& d, int n) {
  SetGridSize(d, n, n, n);
  d.Dx = d.Dy = d.Dz = 1e-3;
  d.TimeStep = 0.5e-3;
  d.TimeStepSec = d.TimeStep / double(LightSpeed);
  return ResizeSpace(d) && AllocFieldArrays(d) != 0;
}

}  // namespace rv::bench
