// Throughput of whole time steps through the run loop with the default items, for the cases
// of run_cases.h (vacuum with PEC faces; half the box lossy with SAR and lumped elements,
// with PEC or Mur faces; the same with a dispersive dielectric). A bare float Yee update of a vacuum box is
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
#include "run_cases.h"

using namespace rv;
using namespace rv::bench;

namespace {

struct Quiet : RunCallbacks {
  void ShowProgress(const ProgressInfo&) override {}
  void FinishCalculation(const RunOutcome&) override {}
};

// Whole steps through the run loop; returns seconds, or -1 with err.
double TimeCase(int n, int steps, const RunCase& c, std::string& err) {
  SolverData d;
  if (!BuildRunCase(d, n, c, err)) return -1;
  Sine sig;
  RunKernels k;
  if (!PrepareRunKernels(d, c.lossy ? SomeElements(n) : ElementArrays{}, &sig, k, &err)) return -1;
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
      for (const RunCase& c : kRunCases) {
        std::string err;
        double sec = 1e300;
        for (int r = 0; r < repeat && sec >= 0; ++r)
          sec = std::min(sec, TimeCase(n, steps, c, err));
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
