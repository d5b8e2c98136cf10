// The cases of the whole-step benchmark, shared with the tests that check the fused step
// against the plain one: a box of n cells per axis, 1 mm cells, c*dt = dx/2, and one of a
// few loads (vacuum with PEC faces; the lower half a lossy dielectric with SAR on and a few
// lumped elements of every kind, with PEC or Mur faces, or a dispersive dielectric).
#pragma once
#include <algorithm>
#include <cmath>
#include <string>

#include "solver/constants.h"
#include "solver/edgematerial.h"
#include "solver/elements.h"
#include "solver/resultpaths.h"
#include "solver/signal.h"
#include "solver/solverdata.h"
#include "solver/yee.h"

namespace rv::bench {

struct RunCase {
  const char* name;
  bool lossy;   // lower half lossy, SAR on, lumped elements
  bool mur;     // Mur faces instead of PEC
  bool debye;   // the lossy half is a dispersive dielectric
};

inline constexpr RunCase kRunCases[] = {
    {"run_vacuum_pec", false, false, false},
    {"run_sar_lumped", true, false, false},
    {"run_sar_lumped_mur", true, true, false},
    {"run_debye_mur", true, true, true},
};

struct Sine : ISignal {
  double GetSignal(double t) const override { return t < 0 ? 0 : std::sin(2e9 * 3.14159265 * t); }
};

// A few lumped elements of every kind spread over the box.
inline ElementArrays SomeElements(int n) {
  ElementArrays el;
  auto at = [n](int a, int b) { return std::max(2, std::min(n - 1, a * n / 8 + b)); };
  for (int s = 0; s < 2; ++s) {
    tVoltageSource v;
    v.X = at(2 + 4 * s, 0); v.Y = at(2, 0); v.Z = at(4, 0); v.Dir = 'Z'; v.R = 50;
    el.VoltageSources.push_back(v);
  }
  for (int r = 0; r < 4; ++r) {
    tLumpedElement e;
    e.X = at(1 + 2 * r, 0); e.Y = at(5, 0); e.Z = at(6, 0); e.Dir = 'Y'; e.Value = 100;
    el.Resistors.push_back(e);
  }
  for (int r = 0; r < 2; ++r) {
    tLumpedElement e;
    e.X = at(3, r); e.Y = at(6, 0); e.Z = at(2, 0); e.Dir = 'X'; e.Value = 1e-12;
    el.Capacitors.push_back(e);
  }
  for (int r = 0; r < 2; ++r) {
    tInductor e;
    e.X = at(5, r); e.Y = at(3, 0); e.Z = at(5, 0); e.Dir = 'Z'; e.L = 1e-9;
    el.Inductors.push_back(e);
  }
  for (int r = 0; r < 2; ++r) {
    tSparkGap g;
    g.X = at(6, r); g.Y = at(6, 0); g.Z = at(6, 0); g.Dir = 'Z'; g.Threshold = 1e3;
    el.SparkGaps.push_back(g);
  }
  return el;
}

// Sizes the grid, fills the model and allocates the run's arrays; false with err.
inline bool BuildRunCase(SolverData& d, int n, const RunCase& c, std::string& err) {
  SetGridSize(d, n + 1, n + 1, n + 1);
  if (!ResizeSpace(d)) { err = "model"; return false; }
  d.Dx = d.Dy = d.Dz = 1e-3;
  d.CellVolume = 1e-9;
  d.TimeStep = 0.5 * d.Dx;
  d.TimeStepSec = d.TimeStep / LightSpeed;
  d.CourantX = d.CourantY = d.CourantZ = 0.5;
  if (c.lossy) {
    tLayer& L = d.Layers[1];
    L.On = 1; L.Sigma = 0.5; L.EpsStatic = 4; L.EpsInf = c.debye ? 2 : 4; L.Mu = 1;
    L.Tau = c.debye ? 1e-11 : 0; L.Density = 1000;
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j)
        for (int k = 1; k <= n / 2; ++k) d.Space(i, j, k) = 1;
    d.SAROn = 1;
    d.SARDelay = 0;
    d.PolarDielectrics = c.debye;
  }
  for (int f = 1; f <= 6; ++f) (c.mur ? d.MurFace : d.PECFace)[size_t(f)] = 1;
  d.AnyPEC = !c.mur;
  d.AnyMur = c.mur;
  FindObjectBounds(d);
  if (AllocFieldArrays(d) == 0 || (c.debye && !AllocDebyeArrays(d))) { err = "memory"; return false; }
  ClearFields(d);
  return true;
}

}  // namespace rv::bench
