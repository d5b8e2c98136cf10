// A short two-wire line in a closed box for the run tests: two conductor bars along x with
// a one-cell gap; the gap edges at the two ends carry a source and a load.
#pragma once
#include <omp.h>

#include "kernel_fixture.h"
#include "solver/constants.h"
#include "solver/resultpaths.h"
#include "solver/runsetup.h"
#include "solver/solverdata.h"
#include "solver/timeloop.h"

namespace runtest {

using namespace rv;

constexpr double kPi = 3.14159265358979323846;

// A sine with a raised-cosine start, so the closed box is not rung by a sudden step.
struct SmoothSine : ISignal {
  double Ampl = 1, Freq = 1e8, Rise = 5e-9;
  double GetSignal(double t) const override {
    if (t < 0) return 0;
    const double env = t < Rise ? 0.5 * (1 - std::cos(kPi * t / Rise)) : 1.0;
    return Ampl * env * std::sin(2 * kPi * Freq * t);
  }
};

// A Gaussian pulse of half-width Tau centred at T0.
struct Pulse : ISignal {
  double T0 = 0.4e-9, Tau = 0.1e-9;
  double GetSignal(double t) const override {
    const double x = (t - T0) / Tau;
    return t < 0 ? 0 : std::exp(-x * x);
  }
};

// The test grids are a few thousand cells: one thread is fastest, and the kernels give the
// same bits on any number of threads.
struct OneThread {
  int saved = omp_get_max_threads();
  OneThread() { omp_set_num_threads(1); }
  ~OneThread() { omp_set_num_threads(saved); }
};

struct NullCallbacks : RunCallbacks {
  void ShowProgress(const ProgressInfo&) override {}
  void FinishCalculation(const RunOutcome&) override {}
};

// Grid of n nodes per axis, cubic cells dx, c*dt = dx/2, PEC box.
inline void MakeBox(SolverData& d, int n, double dx, bool sar) {
  rvtest::MakeGrid(d, n, n, n, dx, 0.5);
  d.SAROn = sar ? 1 : 0;
  for (int f = 1; f <= 6; ++f) d.PECFace[size_t(f)] = 1;
  d.AnyPEC = 1;
  d.AnyPECOrSym = 1;
  d.Stopped = 0;
}

// The line: bars of material 1 (a good conductor) in the cell rows z = 5 and z = 7 at
// y = 7, cells x = 5..8; the gap edges Ez(x, 7, 6) for nodes x = 5..9 join them.
struct Line {
  static constexpr int Y = 7, Z = 6, X0 = 5, X1 = 9;
  SolverData d;
  RunKernels k;
  SmoothSine sig;
};

inline bool BuildLine(Line& L, int n = 14, double dx = 2e-3, bool sar = true) {
  SolverData& d = L.d;
  MakeBox(d, n, dx, sar);
  rvtest::SetMaterial(d, 1, 1e7, 1, 1, 0, 1, 8900);
  for (int i = Line::X0; i < Line::X1; ++i) {
    d.Space(i, Line::Y, Line::Z - 1) = 1;
    d.Space(i, Line::Y, Line::Z + 1) = 1;
  }
  FindObjectBounds(d);
  if (AllocFieldArrays(d) == 0) return false;
  ClearFields(d);
  return true;
}

inline tVoltageSource SourceAt(int x, double R, char pol = '+') {
  tVoltageSource s;
  s.X = x; s.Y = Line::Y; s.Z = Line::Z; s.Dir = 'Z'; s.R = R; s.Polarity = pol;
  return s;
}
inline tLumpedElement ElementAt(int x, double v) {
  tLumpedElement e;
  e.X = x; e.Y = Line::Y; e.Z = Line::Z; e.Dir = 'Z'; e.Value = v;
  return e;
}

// Runs `steps` steps through the time loop with the default items on one thread; `probe`
// is called after every step's items (before the absorbed power of the step is added).
inline RunOutcome RunSteps(SolverData& d, RunKernels& k, const ElementArrays& el, const ISignal* sig,
                           int steps, const std::function<void(int)>& probe = nullptr) {
  d.StepCount = steps;
  if (!PrepareRunKernels(d, el, sig, k)) return RunOutcome{RunEnd::Failed, 0, "prepare", ""};
  StepHooks h = DefaultStepHooks(d, k);
  if (probe) {
    h.RecordOutputPoints = [&d, probe](int) { probe(d.CurStep - 1); };
    d.OutputRate = 1;
  }
  NullCallbacks cb;
  OneThread one;
  return RunTimeLoop(d, h, cb);
}

inline RunOutcome RunLine(Line& L, const ElementArrays& el, int steps, int sarDelay,
                          const std::function<void(int)>& probe = nullptr) {
  L.d.SARDelay = sarDelay;
  return RunSteps(L.d, L.k, el, &L.sig, steps, probe);
}

// Amplitude of the component at frequency f of v sampled every dt from sample `from`.
inline double Amplitude(const std::vector<double>& v, size_t from, double f, double dt) {
  double c = 0, s = 0;
  const size_t n = v.size() - from;
  for (size_t m = from; m < v.size(); ++m) {
    const double w = 2 * kPi * f * double(m) * dt;
    c += v[m] * std::cos(w);
    s += v[m] * std::sin(w);
  }
  return 2 * std::sqrt(c * c + s * s) / double(n);
}

}  // namespace runtest
