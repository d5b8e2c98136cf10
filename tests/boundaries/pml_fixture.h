// A small run with PML faces: the solver's own kernels and faces in the time loop's order,
// a soft source added after the E update, the layer's updates between them.
#pragma once
#include <cmath>
#include <functional>

#include "boundaries/pml.h"
#include "solver/constants.h"
#include "solver/edgematerial.h"
#include "solver/faces.h"
#include "solver/resultpaths.h"
#include "solver/solverdata.h"
#include "solver/yee.h"

namespace rvtest {

using namespace rv;

// Face kinds by face index 1..6 (Y=1, Y=max, Z=max, Z=1, X=max, X=1): P PEC, M Mur,
// D 1/R, R RT-ABC, L PML, E and H the symmetry faces.
enum Kind : char { PEC = 'P', PML = 'L', SymE = 'E', Mur = 'M' };
inline void SetFaces(SolverData& d, const char* kinds) {
  for (int f = 1; f <= 6; ++f) {
    const char c = kinds[f - 1];
    d.PECFace[f] = c == 'P'; d.MurFace[f] = c == 'M'; d.DissipationFace[f] = c == 'D';
    d.RTABCFace[f] = c == 'R'; d.PMLFace[f] = c == 'L'; d.SymEFace[f] = c == 'E'; d.SymHFace[f] = c == 'H';
    d.AnyPEC |= d.PECFace[f]; d.AnyPML |= d.PMLFace[f]; d.AnySymE |= d.SymEFace[f]; d.AnyMur |= d.MurFace[f];
  }
  d.AnyPECOrSym = d.AnyPEC || d.AnySymE;
}

struct PmlRun {
  SolverData d;
  EdgeCoefCache cache;
  PmlState pml;
  std::string err;

  // c*dt = courant * the 3-D stability limit of the cells.
  bool Make(int nx, int ny, int nz, double dx, double dy, double dz, const char* kinds,
            const PmlProfile& p, double courant = 0.99) {
    SetGridSize(d, nx, ny, nz);
    if (!ResizeSpace(d)) return false;
    d.Dx = dx; d.Dy = dy; d.Dz = dz; d.HalfDx = dx / 2;
    d.TimeStep = courant / std::sqrt(1 / (dx * dx) + 1 / (dy * dy) + 1 / (dz * dz));
    d.TimeStepSec = d.TimeStep / double(LightSpeed);
    d.CourantX = d.TimeStep / dx; d.CourantY = d.TimeStep / dy; d.CourantZ = d.TimeStep / dz;
    SetFaces(d, kinds);
    FindObjectBounds(d);
    if (AllocFieldArrays(d) == 0) return false;
    ClearFields(d);
    return cache.Build(d, &err) && SetupPML(pml, d, p, err);
  }
  void Step(int n, const std::function<void(SolverData&, int)>& source) {
    UpdateH(d);
    UpdatePMLH(pml);
    UpdateE(d, cache);
    source(d, n);
    if (d.AnySymE) ApplySymmetry(d);
    UpdatePMLE(pml, d);
    if (d.AnyPEC) ApplyPEC(d);
  }
};

inline double Db(double ratio) { return 20 * std::log10(ratio); }

}  // namespace rvtest
