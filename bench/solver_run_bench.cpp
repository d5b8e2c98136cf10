// Throughput of whole time steps through the run loop with the default items: a vacuum box
// with PEC faces, and the same box half filled with a lossy dielectric, absorbed power (SAR)
// on and a few lumped elements of every kind. A bare float Yee update of a vacuum box is
// timed in the same run as the reference (constant coefficients, six arrays, nothing else).
//
//   solver_run_bench [--steps S] [--sizes 100,200] [--threads 1,8] [--repeat R]
//
// Each figure is the best of R timed runs (default 3). One line per result:
//   bench: case=<name> N=<n> threads=<t> steps=<s> mcells_per_s=<x> to_reference=<r>
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "solver/constants.h"
#include "solver/resultpaths.h"
#include "solver/runsetup.h"
#include "solver/solverdata.h"
#include "solver/timeloop.h"

#include "bench_common.h"

using namespace rv;
using rv::bench::TimeReference;

namespace {

using Clock = std::chrono::steady_clock;

struct Sine : ISignal {
  double GetSignal(double t) const override { return t < 0 ? 0 : std::sin(2e9 * 3.14159265 * t); }
};

struct Quiet : RunCallbacks {
  void ShowProgress(const ProgressInfo&) override {}
  void FinishCalculation(const RunOutcome&) override {}
};

// A few lumped elements of every kind spread over the box, on Z edges.
ElementArrays SomeElements(int n) {
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

// Whole steps through the run loop; returns seconds, or -1 with err.
double TimeCase(int n, int steps, bool full, std::string& err) {
  SolverData d;
  SetGridSize(d, n + 1, n + 1, n + 1);
  if (!ResizeSpace(d)) { err = "model"; return -1; }
  d.Dx = d.Dy = d.Dz = 1e-3;
  d.CellVolume = 1e-9;
  d.TimeStep = 0.5 * d.Dx;
  d.TimeStepSec = d.TimeStep / LightSpeed;
  d.CourantX = d.CourantY = d.CourantZ = 0.5;
  if (full) {
    tLayer& L = d.Layers[1];
    L.On = 1; L.Sigma = 0.5; L.EpsStatic = L.EpsInf = 4; L.Mu = 1; L.Density = 1000;
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j)
        for (int k = 1; k <= n / 2; ++k) d.Space(i, j, k) = 1;
    d.SAROn = 1;
    d.SARDelay = 0;
  }
  for (int f = 1; f <= 6; ++f) d.PECFace[size_t(f)] = 1;
  d.AnyPEC = 1;
  FindObjectBounds(d);
  if (AllocFieldArrays(d) == 0) { err = "memory"; return -1; }
  ClearFields(d);
  Sine sig;
  RunKernels k;
  if (!PrepareRunKernels(d, full ? SomeElements(n) : ElementArrays{}, &sig, k, &err)) return -1;
  const StepHooks h = DefaultStepHooks(d, k);
  Quiet cb;
  d.StepCount = 1;  // first touch
  d.Stopped = 0;
  RunTimeLoop(d, h, cb);
  d.StepCount = steps;
  d.Stopped = 0;
  const auto t0 = Clock::now();
  const RunOutcome o = RunTimeLoop(d, h, cb);
  const double sec = std::chrono::duration<double>(Clock::now() - t0).count();
  if (o.End != RunEnd::Completed) { err = o.Error; return -1; }
  return sec;
}

}  // namespace

int main(int argc, char** argv) {
  const rv::bench::Options opt = rv::bench::ParseOptions(argc, argv, {100, 200});
  const int steps = opt.steps, repeat = opt.repeat;
  const std::vector<int>& sizes = opt.sizes;
  const std::vector<int>& threads = opt.threads;
  struct Case { const char* name; bool full; };
  const Case cases[] = {{"run_vacuum_pec", false}, {"run_sar_lumped", true}};
  for (int n : sizes)
    for (int t : threads) {
      omp_set_num_threads(t);
      const double cells = double(n) * n * n;
      double best = 1e300;
      for (int r = 0; r < repeat; ++r) best = std::min(best, TimeReference(n, steps));
      const double ref = cells * steps / best / 1e6;
      std::printf("bench: case=reference N=%d threads=%d steps=%d mcells_per_s=%.1f to_reference=1.000\n",
                  n, t, steps, ref);
      std::fflush(stdout);
      for (const Case& c : cases) {
        std::string err;
        double sec = 1e300;
        for (int r = 0; r < repeat && sec >= 0; ++r)
          sec = std::min(sec, TimeCase(n, steps, c.full, err));
        if (sec < 0) {
          std::printf("bench: case=%s N=%d threads=%d skipped: %s\n", c.name, n, t, err.c_str());
          continue;
        }
        const double mc = cells * steps / sec / 1e6;
        std::printf("bench: case=%s N=%d threads=%d steps=%d mcells_per_s=%.1f to_reference=%.3f\n",
                    c.name, n, t, steps, mc, mc / ref);
        std::fflush(stdout);
      }
    }
  return 0;
}
