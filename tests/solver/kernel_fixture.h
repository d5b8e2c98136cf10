// Small grids for the kernel tests: a SolverData with cubic cells, fields allocated, and
// a straightforward per-edge reference of the E update built on GetEdgeMaterial.
#pragma once
#include <cmath>
#include <cstring>
#include <random>

#include "solver/constants.h"
#include "solver/edgematerial.h"
#include "solver/resultpaths.h"
#include "solver/solverdata.h"
#include "solver/yee.h"

namespace rvtest {

using namespace rv;

inline void SetMaterial(SolverData& d, int m, double sigma, double epsS, double epsI = -1,
                        double tau = 0, double mu = 1, double density = 1000) {
  tLayer& L = d.Layers[m];
  L.On = 1;
  L.Sigma = sigma;
  L.EpsStatic = epsS;
  L.EpsInf = epsI < 0 ? epsS : epsI;
  L.Tau = tau;
  L.Mu = mu;
  L.Density = density;
}

// Grid of n* nodes, cell size dx, c*dt = courant * dx. The model is sized but left empty;
// call Allocate() after filling it.
inline void MakeGrid(SolverData& d, int nx, int ny, int nz, double dx, double courant) {
  SetGridSize(d, nx, ny, nz);
  ResizeSpace(d);
  d.Dx = d.Dy = d.Dz = dx;
  d.HalfDx = dx / 2;
  d.CellVolume = dx * dx * dx;
  d.TimeStep = courant * dx;
  d.TimeStepSec = d.TimeStep / double(LightSpeed);
  d.CourantX = d.TimeStep / d.Dx;
  d.CourantY = d.TimeStep / d.Dy;
  d.CourantZ = d.TimeStep / d.Dz;
  d.CurTime = 0;
}

// Object box, field arrays (and the Debye arrays when PolarDielectrics), zeroed fields.
inline bool Allocate(SolverData& d) {
  FindObjectBounds(d);
  if (AllocFieldArrays(d) == 0) return false;
  ClearFields(d);
  return !d.PolarDielectrics || AllocDebyeArrays(d);
}

// The run start's census of the materials switched on.
inline void Census(SolverData& d) {
  d.MaterialCellCount.fill(0);
  d.ObjectCellCount = 0;
  for (int i = 1; i < d.Nx; ++i)
    for (int j = 1; j < d.Ny; ++j)
      for (int k = 1; k < d.Nz; ++k)
        if (const int m = d.Space(i, j, k); m && d.Layers[size_t(m)].On) {
          ++d.MaterialCellCount[size_t(m) - 1];
          ++d.ObjectCellCount;
        }
}

inline void FillRandom(t3DSpaceArray& a, std::mt19937& rng, float scale = 1) {
  std::uniform_real_distribution<float> u(-scale, scale);
  for (size_t n = 0; n < a.size(); ++n) a.data()[n] = u(rng);
}

// Same length and the same bits (an empty array has no storage to compare: data() is null).
template <class A>
bool SameBits(const A& a, const A& b) {
  return a.size() == b.size() &&
         (a.size() == 0 || std::memcmp(a.data(), b.data(), a.size() * sizeof(*a.data())) == 0);
}

// The E update written edge by edge from the rule, coefficients from GetEdgeMaterial each
// time, the Debye term updated on every edge.
inline void ReferenceUpdateE(SolverData& d, bool debye) {
  const double cx = d.CourantX, cy = d.CourantY, cz = d.CourantZ, inv = InvEta0;
  auto edge = [&](t3DSpaceArray& E, t3DSpaceArray* prev, t3DSpaceArray& D, char axis, int i,
                  int j, int k, double curl) {
    const tEdgeMaterial M = GetEdgeMaterial(d, i, j, k, axis);
    if (prev) (*prev)(i, j, k) = E(i, j, k);
    double bracket = curl;
    if (debye) bracket = curl + inv * double(D(i, j, k));
    E(i, j, k) = float(double(E(i, j, k)) * double(M.Ca) + bracket * double(M.Cb));
    if (debye)
      D(i, j, k) = float(double(E(i, j, k)) * double(M.DebyeCoef) + double(D(i, j, k)) * double(M.DebyeDecay));
  };
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const bool sar = d.SAROn;
  for (int i = 1; i <= nx - 1; ++i)
    for (int j = 2; j <= ny - 1; ++j)
      for (int k = 2; k <= nz - 1; ++k)
        edge(d.Ex, sar ? &d.ExPrev : nullptr, d.DebyeX, 'X', i, j, k,
             (double(d.Hz(i, j, k)) - double(d.Hz(i, j - 1, k))) * cy -
                 (double(d.Hy(i, j, k)) - double(d.Hy(i, j, k - 1))) * cz);
  for (int i = 2; i <= nx - 1; ++i)
    for (int j = 1; j <= ny - 1; ++j)
      for (int k = 2; k <= nz - 1; ++k)
        edge(d.Ey, sar ? &d.EyPrev : nullptr, d.DebyeY, 'Y', i, j, k,
             (double(d.Hx(i, j, k)) - double(d.Hx(i, j, k - 1))) * cz -
                 (double(d.Hz(i, j, k)) - double(d.Hz(i - 1, j, k))) * cx);
  for (int i = 2; i <= nx - 1; ++i)
    for (int j = 2; j <= ny - 1; ++j)
      for (int k = 1; k <= nz - 1; ++k)
        edge(d.Ez, sar ? &d.EzPrev : nullptr, d.DebyeZ, 'Z', i, j, k,
             (double(d.Hy(i, j, k)) - double(d.Hy(i - 1, j, k))) * cx -
                 (double(d.Hx(i, j, k)) - double(d.Hx(i, j - 1, k))) * cy);
}

// Sum of eps0 E^2 + mu0 H^2 over every field value (twice the field energy per cell volume).
inline double FieldEnergy(const SolverData& d) {
  double e = 0, h = 0;
  for (const t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez})
    for (size_t n = 0; n < a->size(); ++n) e += double(a->data()[n]) * a->data()[n];
  for (const t3DSpaceArray* a : {&d.Hx, &d.Hy, &d.Hz})
    for (size_t n = 0; n < a->size(); ++n) h += double(a->data()[n]) * a->data()[n];
  return double(Eps0) * e + double(Mu0) * h;
}

}  // namespace rvtest

#include "solver/faces.h"
#include "solver/mur.h"

namespace rvtest {

// One step in the order of the time loop, for the features these kernels provide; `source`
// runs where the lumped elements do (after the E update, before the faces).
template <class Source>
inline void StepFields(SolverData& d, const EdgeCoefCache& cache, const tIncidentWave& wave,
                       Source&& source) {
  UpdateH(d);
  if (d.PolarDielectrics) UpdateEDebye(d, cache);
  else UpdateE(d, cache);
  source();
  ApplySymmetry(d);
  if (d.AnyMur) ApplyMur(d, wave);
  if (d.AnyMur) SaveMurPlanes(d, wave);
  ApplyPEC(d);
  d.CurTime += d.TimeStep;
  d.CurTimeSec = d.CurTime / double(LightSpeed);
}

inline void StepFields(SolverData& d, const EdgeCoefCache& cache) {
  StepFields(d, cache, tIncidentWave{}, [] {});
}

inline void SetFaces(FaceFlags& flags, std::initializer_list<int> faces) {
  flags.fill(0);
  for (int f : faces) flags[f] = 1;
}

}  // namespace rvtest
