// Solver throughput: the H and E updates with PEC or Mur faces, in vacuum and with half the
// box filled with a lossy dielectric, against a bare float Yee update of a vacuum box run
// side by side (constant coefficients, six arrays, nothing else).
//
//   solver_bench [--steps S] [--sizes 100,200,300] [--threads 1,8] [--repeat R]
//
// Each figure is the best of R timed runs (default 3), so a shared machine's other load
// disturbs it less.
// One line per result:
//   bench: case=<name> N=<n> threads=<t> steps=<s> mcells_per_s=<x> to_reference=<r>
#include <omp.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "solver/constants.h"
#include "solver/edgematerial.h"
#include "solver/faces.h"
#include "solver/mur.h"
#include "solver/resultpaths.h"
#include "solver/solverdata.h"
#include "solver/yee.h"

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define RV_KERNEL __attribute__((target_clones("avx2", "default"))) __attribute__((noinline))
#else
#define RV_KERNEL __attribute__((noinline))
#endif
#define RV_RESTRICT __restrict__

using namespace rv;

namespace {

using Clock = std::chrono::steady_clock;

// ---- the reference: bare float Yee update, built like the solver's kernels
RV_KERNEL void RefHRow(float* RV_RESTRICT h, const float* RV_RESTRICT p1, const float* RV_RESTRICT p0,
                       const float* RV_RESTRICT q1, const float* RV_RESTRICT q0, float c1, float c2,
                       float q, int n) {
  for (int k = 1; k <= n; ++k) h[k] -= ((p1[k] - p0[k]) * c1 - (q1[k] - q0[k]) * c2) * q;
}
RV_KERNEL void RefERow(float* RV_RESTRICT e, const float* RV_RESTRICT p1, const float* RV_RESTRICT p0,
                       const float* RV_RESTRICT q1, const float* RV_RESTRICT q0, float c1, float c2,
                       float cb, int n) {
  for (int k = 1; k <= n; ++k) e[k] += ((p1[k] - p0[k]) * c1 - (q1[k] - q0[k]) * c2) * cb;
}

struct RefBox {
  int n = 0;  // cells per axis; arrays (n+2)^3 so every neighbour exists
  size_t sx = 0, sy = 0;
  // Allocated like the solver's field arrays, so both sides get the same memory.
  t3DSpaceArray aex, aey, aez, ahx, ahy, ahz;
  float *ex = nullptr, *ey = nullptr, *ez = nullptr, *hx = nullptr, *hy = nullptr, *hz = nullptr;
  bool ok = false;
  explicit RefBox(int cells) : n(cells) {
    const int m = n + 2;
    sx = size_t(m) * m; sy = m;
    ok = true;
    for (auto* a : {&aex, &aey, &aez, &ahx, &ahy, &ahz}) ok = ok && a->allocate(m, m, m);
    if (!ok) return;
    for (auto* a : {&aex, &aey, &aez, &ahx, &ahy, &ahz}) a->fill(0.0f);
    ex = aex.data(); ey = aey.data(); ez = aez.data();
    hx = ahx.data(); hy = ahy.data(); hz = ahz.data();
    ez[(n / 2) * sx + (n / 2) * sy + n / 2] = 1;
  }
  void Step(float c, float q, float cb) {
    const int N = n;
#pragma omp parallel
    {
#pragma omp for schedule(static) nowait
      for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= N; ++j) {
          const size_t o = i * sx + j * sy;
          RefHRow(&hx[o], &ez[o + sy], &ez[o], &ey[o + 1], &ey[o], c, c, q, N);
        }
#pragma omp for schedule(static) nowait
      for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= N; ++j) {
          const size_t o = i * sx + j * sy;
          RefHRow(&hy[o], &ex[o + 1], &ex[o], &ez[o + sx], &ez[o], c, c, q, N);
        }
#pragma omp for schedule(static)
      for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= N; ++j) {
          const size_t o = i * sx + j * sy;
          RefHRow(&hz[o], &ey[o + sx], &ey[o], &ex[o + sy], &ex[o], c, c, q, N);
        }
#pragma omp for schedule(static) nowait
      for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= N; ++j) {
          const size_t o = i * sx + j * sy;
          RefERow(&ex[o], &hz[o], &hz[o - sy], &hy[o], &hy[o - 1], c, c, cb, N);
        }
#pragma omp for schedule(static) nowait
      for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= N; ++j) {
          const size_t o = i * sx + j * sy;
          RefERow(&ey[o], &hx[o], &hx[o - 1], &hz[o], &hz[o - sx], c, c, cb, N);
        }
#pragma omp for schedule(static) nowait
      for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= N; ++j) {
          const size_t o = i * sx + j * sy;
          RefERow(&ez[o], &hy[o], &hy[o - sx], &hx[o], &hx[o - sy], c, c, cb, N);
        }
    }
  }
};

double TimeReference(int n, int steps) {
  RefBox box(n);
  if (!box.ok) return -1;
  const float c = 0.5f, q = 1 / Mu0C, cb = Eta0;
  box.Step(c, q, cb);  // first touch
  const auto t0 = Clock::now();
  for (int s = 0; s < steps; ++s) box.Step(c, q, cb);
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// ---- the solver's kernels in the time loop's order
double TimeCase(int n, int steps, bool dielectric, bool mur, std::string& err) {
  SolverData d;
  SetGridSize(d, n + 1, n + 1, n + 1);
  if (!ResizeSpace(d)) { err = "model"; return -1; }
  d.Dx = d.Dy = d.Dz = 1e-3;
  d.TimeStep = 0.5 * d.Dx;
  d.TimeStepSec = d.TimeStep / LightSpeed;
  d.CourantX = d.CourantY = d.CourantZ = 0.5;
  if (dielectric) {
    tLayer& L = d.Layers[1];
    L.On = 1; L.Sigma = 0.5; L.EpsStatic = L.EpsInf = 4; L.Mu = 1; L.Density = 1000;
    // The lower half along z: every row along z crosses the surface of the dielectric.
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j)
        for (int k = 1; k <= n / 2; ++k) d.Space(i, j, k) = 1;
  }
  for (int f = 1; f <= 6; ++f) (mur ? d.MurFace : d.PECFace)[f] = 1;
  d.AnyMur = mur; d.AnyPEC = !mur;
  FindObjectBounds(d);
  if (AllocFieldArrays(d) == 0) { err = "memory"; return -1; }
  ClearFields(d);
  EdgeCoefCache cache;
  if (!cache.Build(d, &err)) return -1;
  d.Ez((n + 1) / 2, (n + 1) / 2, (n + 1) / 2) = 1;
  const tIncidentWave wave;
  auto step = [&] {
    UpdateH(d);
    UpdateE(d, cache);
    ApplySymmetry(d);
    if (mur) { ApplyMur(d, wave); SaveMurPlanes(d, wave); }
    ApplyPEC(d);
    d.CurTime += d.TimeStep;
  };
  step();  // first touch
  const auto t0 = Clock::now();
  for (int s = 0; s < steps; ++s) step();
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

std::vector<int> ParseList(const char* s) {
  std::vector<int> v;
  for (const char* p = s; *p;) {
    char* end;
    const long x = std::strtol(p, &end, 10);
    if (end == p) break;
    if (x > 0) v.push_back(int(x));
    p = *end == ',' ? end + 1 : end;
  }
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  int steps = 20, repeat = 3;
  std::vector<int> sizes{100, 200, 300};
  std::vector<int> threads{1, omp_get_num_procs()};
  for (int a = 1; a + 1 < argc; a += 2) {
    if (!std::strcmp(argv[a], "--steps")) steps = std::max(1, std::atoi(argv[a + 1]));
    else if (!std::strcmp(argv[a], "--sizes")) sizes = ParseList(argv[a + 1]);
    else if (!std::strcmp(argv[a], "--threads")) threads = ParseList(argv[a + 1]);
    else if (!std::strcmp(argv[a], "--repeat")) repeat = std::max(1, std::atoi(argv[a + 1]));
  }
  struct Case { const char* name; bool dielectric, mur; };
  const Case cases[] = {{"vacuum_pec", false, false}, {"vacuum_mur", false, true},
                        {"dielectric_pec", true, false}, {"dielectric_mur", true, true}};
  for (int n : sizes)
    for (int t : threads) {
      omp_set_num_threads(t);
      const double cells = double(n) * n * n;
      // Reference and cases take turns, so a change in the machine's other load touches
      // both sides of every ratio alike; each keeps its best time.
      const size_t nc = sizeof(cases) / sizeof(cases[0]);
      double refBest = 1e300;
      std::vector<double> best(nc, 1e300);
      std::vector<std::string> errs(nc);
      for (int r = 0; r < repeat; ++r) {
        const double rs = TimeReference(n, steps);
        if (rs > 0) refBest = std::min(refBest, rs);
        for (size_t c = 0; c < nc; ++c) {
          if (!errs[c].empty()) continue;
          const double sec = TimeCase(n, steps, cases[c].dielectric, cases[c].mur, errs[c]);
          if (sec >= 0) best[c] = std::min(best[c], sec);
        }
      }
      if (refBest > 1e299) {
        std::printf("bench: case=reference N=%d threads=%d skipped: memory\n", n, t);
        continue;
      }
      const double ref = cells * steps / refBest / 1e6;
      std::printf("bench: case=reference N=%d threads=%d steps=%d mcells_per_s=%.1f to_reference=1.000\n",
                  n, t, steps, ref);
      for (size_t c = 0; c < nc; ++c) {
        if (!errs[c].empty()) {
          std::printf("bench: case=%s N=%d threads=%d skipped: %s\n", cases[c].name, n, t, errs[c].c_str());
          continue;
        }
        const double mc = cells * steps / best[c] / 1e6;
        std::printf("bench: case=%s N=%d threads=%d steps=%d mcells_per_s=%.1f to_reference=%.3f\n",
                    cases[c].name, n, t, steps, mc, mc / ref);
      }
      std::fflush(stdout);
    }
  return 0;
}
