// Throughput of whole time steps through the run loop with the default items, for the cases
// of run_cases.h (vacuum with PEC faces; half the box lossy with SAR and lumped elements,
// with PEC or Mur faces; the same with a dispersive dielectric). A bare float Yee update of a vacuum box is
// timed in the same run as the reference (constant coefficients, six arrays, nothing else).
//
//   solver_run_bench [--steps S] [--sizes 100,200] [--threads 1,8] [--repeat R]
//
// Each figure is the best of R timed runs (default 3). One line per result:
//   bench: case=<name> N=<n> threads=<t> steps=<s> mcells_per_s=<x> to_reference=<r>
// On more than one thread the vacuum case is also run beside another program that keeps
// half the cores busy (started by the benchmark): case=run_vacuum_pec_loaded, with
// to_quiet, the median loaded speed over the median quiet one. --case NAME times that case
// alone, without the reference (for whole-process comparisons).
#include <omp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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
#include "quiet_run.h"
#include "run_cases.h"

using namespace rv;
using namespace rv::bench;

namespace {


// Whole steps through the run loop; returns seconds, or -1 with err.
double TimeCase(int n, int steps, const RunCase& c, std::string& err) {
  SolverData d;
  if (!BuildRunCase(d, n, c, err)) return -1;
  Sine sig;
  RunKernels k;
  if (!PrepareRunKernels(d, c.lossy ? SomeElements(n) : ElementArrays{}, &sig, k, &err)) return -1;
  const StepHooks h = DefaultStepHooks(d, k);
  double sec = 0;
  const RunOutcome o = TimedSteps(d, h, 1, steps, sec);
  if (o.End != RunEnd::Completed) { err = o.Error; return -1; }
  return sec;
}

// Another program keeping `cores` cores busy: that many child processes spinning until
// killed.
struct CompetingLoad {
  std::vector<pid_t> pids;
  explicit CompetingLoad(int cores) {
    for (int c = 0; c < cores; ++c) {
      const pid_t p = fork();
      if (p == 0) {
        volatile unsigned long x = 0;
        for (;;) x = x + 1;
      }
      if (p > 0) pids.push_back(p);
    }
  }
  ~CompetingLoad() {
    for (pid_t p : pids) kill(p, SIGKILL);
    for (pid_t p : pids) waitpid(p, nullptr, 0);
  }
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const rv::bench::Options opt = rv::bench::ParseOptions(argc, argv, {100, 200});
  const int steps = opt.steps, repeat = opt.repeat;
  const std::vector<int>& sizes = opt.sizes;
  const std::vector<int>& threads = opt.threads;
  const char* only = nullptr;  // --case NAME: that case alone, no reference (whole-process timing)
  for (int a = 1; a + 1 < argc; ++a)
    if (!std::strcmp(argv[a], "--case")) only = argv[a + 1];
  for (int n : sizes)
    for (int t : threads) {
      omp_set_num_threads(t);
      const double cells = double(n) * n * n;
      double best = only ? 1.0 : 1e300;
      for (int r = 0; r < repeat && !only; ++r) best = std::min(best, TimeReference(n, steps));
      const double ref = cells * steps / best / 1e6;
      if (!only) std::printf("bench: case=reference N=%d threads=%d steps=%d mcells_per_s=%.1f to_reference=1.000\n",
                  n, t, steps, ref);
      std::fflush(stdout);
      for (const RunCase& c : kRunCases) {
        if (only && std::strcmp(only, c.name)) continue;
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
      // The vacuum case again with half the cores taken by another program, quiet and
      // loaded runs taking turns; medians, as a loaded machine's best run says little.
      if (t < 2 || only) continue;
      std::vector<double> quiet, loaded;
      std::string err;
      for (int r = 0; r < std::max(repeat, 3) && err.empty(); ++r) {
        quiet.push_back(TimeCase(n, steps, kRunCases[0], err));
        CompetingLoad load(t / 2);
        loaded.push_back(TimeCase(n, steps, kRunCases[0], err));
      }
      if (!err.empty()) continue;
      const double mq = cells * steps / Median(quiet) / 1e6, ml = cells * steps / Median(loaded) / 1e6;
      std::printf("bench: case=%s_loaded N=%d threads=%d steps=%d competing_cores=%d mcells_per_s=%.1f "
                  "to_reference=%.3f to_quiet=%.3f\n", kRunCases[0].name, n, t, steps, t / 2, ml,
                  ml / ref, ml / mq);
      std::fflush(stdout);
    }
  return 0;
}
