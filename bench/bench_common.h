// What the solver benchmarks share: the references, bare Yee updates of a vacuum box
// (constant coefficients, six arrays, nothing else), built like the solver's kernels (on
// the same threads) and timed in the same run, so every figure is a ratio measured side by side.
#pragma once
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "solver/arrays.h"
#include "solver/constants.h"
#include "solver/kernelattrs.h"
#include "solver/workpool.h"

namespace rv::bench {

using Clock = std::chrono::steady_clock;

// The arithmetic of a reference. Float: every value in float. Double: float storage, each
// value widened to double, combined in double and rounded once when stored, as the
// solver's own updates do; the fair measure of the solver's kernels.
enum class RefMath { Float, Double };

// ---- the reference rows: h -= curl*q and e += curl*cb, curl = (p1-p0)*c1 - (q1-q0)*c2
template <class T>
inline __attribute__((always_inline)) void RefRowBody(float* RV_RESTRICT f, const float* RV_RESTRICT p1,
                                                      const float* RV_RESTRICT p0, const float* RV_RESTRICT q1,
                                                      const float* RV_RESTRICT q0, T c1, T c2, T c, int n) {
  for (int k = 1; k <= n; ++k)
    f[k] = float(T(f[k]) + ((T(p1[k]) - T(p0[k])) * c1 - (T(q1[k]) - T(q0[k])) * c2) * c);
}
RV_KERNEL inline void RefRowFloat(float* f, const float* p1, const float* p0, const float* q1,
                                  const float* q0, float c1, float c2, float c, int n) {
  RefRowBody<float>(f, p1, p0, q1, q0, c1, c2, c, n);
}
RV_KERNEL inline void RefRowDouble(float* f, const float* p1, const float* p0, const float* q1,
                                   const float* q0, double c1, double c2, double c, int n) {
  RefRowBody<double>(f, p1, p0, q1, q0, c1, c2, c, n);
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
  // One step with coefficient c for the curl, -q for H and cb for E.
  template <class T, class Row>
  void Step(Row row, T c, T q, T cb) {
    const int N = n;
    // One pass for H and one for E, each over x planes on the solver's own threads.
    ParallelFor(1, N + 1, [&](int i) {
      for (int j = 1; j <= N; ++j) {
        const size_t o = i * sx + j * sy;
        row(&hx[o], &ez[o + sy], &ez[o], &ey[o + 1], &ey[o], c, c, -q, N);
        row(&hy[o], &ex[o + 1], &ex[o], &ez[o + sx], &ez[o], c, c, -q, N);
        row(&hz[o], &ey[o + sx], &ey[o], &ex[o + sy], &ex[o], c, c, -q, N);
      }
    });
    ParallelFor(1, N + 1, [&](int i) {
      for (int j = 1; j <= N; ++j) {
        const size_t o = i * sx + j * sy;
        row(&ex[o], &hz[o], &hz[o - sy], &hy[o], &hy[o - 1], c, c, cb, N);
        row(&ey[o], &hx[o], &hx[o - 1], &hz[o], &hz[o - sx], c, c, cb, N);
        row(&ez[o], &hy[o], &hy[o - sx], &hx[o], &hx[o - sy], c, c, cb, N);
      }
    });
  }
  void Step(RefMath m) {
    if (m == RefMath::Float) Step<float>(RefRowFloat, 0.5f, float(1 / Mu0C), float(Eta0));
    else Step<double>(RefRowDouble, 0.5, 1 / double(Mu0C), double(Eta0));
  }
};

inline double TimeReference(int n, int steps, RefMath m = RefMath::Float) {
  RefBox box(n);
  if (!box.ok) return -1;
  box.Step(m);  // first touch
  const auto t0 = Clock::now();
  for (int s = 0; s < steps; ++s) box.Step(m);
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Command-line options shared by the solver benchmarks:
//   [--steps S] [--sizes 100,200] [--threads 1,8] [--repeat R]
struct Options {
  int steps = 20, repeat = 3;
  std::vector<int> sizes, threads;
};

inline std::vector<int> ParseList(const char* s) {
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

inline Options ParseOptions(int argc, char** argv, std::vector<int> defaultSizes) {
  Options o;
  o.sizes = std::move(defaultSizes);
  o.threads = {1, omp_get_num_procs()};
  for (int a = 1; a + 1 < argc; a += 2) {
    if (!std::strcmp(argv[a], "--steps")) o.steps = std::max(1, std::atoi(argv[a + 1]));
    else if (!std::strcmp(argv[a], "--sizes")) o.sizes = ParseList(argv[a + 1]);
    else if (!std::strcmp(argv[a], "--threads")) o.threads = ParseList(argv[a + 1]);
    else if (!std::strcmp(argv[a], "--repeat")) o.repeat = std::max(1, std::atoi(argv[a + 1]));
  }
  return o;
}

}  // namespace rv::bench
