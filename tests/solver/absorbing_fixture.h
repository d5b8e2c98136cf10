// Runs for the absorbing faces through the time loop with the default step items: a cube
// with all faces of one kind and a soft Ez source, or a plane wave in a TEM guide.
#pragma once
#include <cmath>
#include <functional>
#include <vector>

#include "kernel_fixture.h"
#include "run_fixture.h"
#include "solver/runsetup.h"
#include "solver/timeloop.h"

namespace abctest {

using namespace rv;
using namespace rvtest;

enum class Kind { Mur, InvR, RTABC, PEC };

inline void SetAllFaces(SolverData& d, Kind kind) {
  FaceFlags all{};
  for (int f = 1; f <= 6; ++f) all[size_t(f)] = 1;
  d.MurFace = kind == Kind::Mur ? all : FaceFlags{};
  d.DissipationFace = kind == Kind::InvR ? all : FaceFlags{};
  d.RTABCFace = kind == Kind::RTABC ? all : FaceFlags{};
  d.PECFace = kind == Kind::PEC ? all : FaceFlags{};
  d.AnyMur = kind == Kind::Mur;
  d.AnyDissipation = kind == Kind::InvR;
  d.AnyRTABC = kind == Kind::RTABC;
  d.AnyPEC = d.AnyPECOrSym = kind == Kind::PEC;
}

// The zero-mean soft source: -2t exp(-t^2), t = (n - 40)/10.
inline double Pulse(int n) {
  const double t = (n - 40) / 10.0;
  return -2 * t * std::exp(-t * t);
}

// Steps the prepared d through the time loop; `source` runs after the E update (where the
// lumped elements do), `probe` after every step's items. False when the run did not end.
inline bool RunFaces(SolverData& d, RunKernels& k, int steps, const std::function<void(int)>& source,
                const std::function<void(int)>& probe) {
  d.StepCount = steps;
  d.Stopped = 0;
  if (!PrepareRunKernels(d, ElementArrays{}, nullptr, k)) return false;
  StepHooks h = DefaultStepHooks(d, k);
  h.UpdateLumpedElements = source;
  h.RecordOutputPoints = [&d, &probe](int) { probe(d.CurStep - 1); };
  d.OutputRate = 1;
  runtest::NullCallbacks cb;
  return RunTimeLoop(d, h, cb).End == RunEnd::Completed;
}

// A cube of n nodes, 1 mm cells, c*dt = dx/2, all faces `kind`, the soft source on the
// edge Ez(c, c, c) with c the middle node (also the 1/R centre). Returns Ez at the probes
// (c + 10, c, c) and (c + 10, c + 10, c + 10) for each step.
struct Probes {
  std::vector<double> axis, diagonal;
};
inline Probes PointSource(int n, Kind kind, int steps) {
  SolverData d;
  MakeGrid(d, n, n, n, 1e-3, 0.5);
  SetAllFaces(d, kind);
  Probes p;
  if (!Allocate(d)) return p;
  RunKernels k;
  const int c = (n + 1) / 2;
  k.Centre = tScatterCentre{c, c, c};
  RunFaces(d, k, steps, [&](int s) { d.Ez(c, c, c) += float(Pulse(s)); },
      [&](int) {
        p.axis.push_back(d.Ez(c + 10, c, c));
        p.diagonal.push_back(d.Ez(c + 10, c + 10, c + 10));
      });
  return p;
}

// max|a - ref| / max|ref| in dB.
inline double ReflectionDb(const std::vector<double>& a, const std::vector<double>& ref) {
  double peak = 0, diff = 0;
  for (size_t n = 0; n < ref.size() && n < a.size(); ++n) {
    peak = std::max(peak, std::fabs(ref[n]));
    diff = std::max(diff, std::fabs(a[n] - ref[n]));
  }
  return a.size() == ref.size() && peak > 0 ? 20 * std::log10(diff / peak) : 0;
}

}  // namespace abctest
