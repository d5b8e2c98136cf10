#include <gtest/gtest.h>
#include <omp.h>

#include "kernel_fixture.h"
#include "solver/dissipation.h"
#include "solver/rtabc.h"

using namespace rv;
using namespace rvtest;

// Mur, PEC with symmetry, and 1/R with RT-ABC faces on one thread and on four: the same bits
// in E and in the saved planes. Z faces large enough for the face passes to use threads.
TEST(FaceThreads, EveryFaceKindGivesTheSameBitsOnAnyThreadCount) {
  const int nx = 140, ny = 130, nz = 6;
  ASSERT_TRUE(ParallelFaces(nx, ny, nz));
  auto planesSame = [](const auto& a, const auto& b) {
    for (size_t p = 0; p < a.size(); ++p)
      if (!SameBits(a[p], b[p])) return false;
    return true;
  };
  for (int kind = 0; kind < 3; ++kind) {
    SolverData a, b;
    EdgeCoefCache cache;
    for (SolverData* d : {&a, &b}) {
      MakeGrid(*d, nx, ny, nz, 1e-3, 0.5);
      for (int f = 1; f <= 6; ++f) {
        d->MurFace[f] = kind == 0;
        d->PECFace[f] = kind == 1 && f % 2 == 0;
        d->SymEFace[f] = kind == 1 && f % 2 == 1;
        d->DissipationFace[f] = d->RTABCFace[f] = kind == 2;
      }
      d->AnyMur = kind == 0;
      d->AnyRTABC = kind == 2;
      ASSERT_TRUE(Allocate(*d));
      std::mt19937 rng(7);
      for (t3DSpaceArray* f : {&d->Ex, &d->Ey, &d->Ez, &d->Hx, &d->Hy, &d->Hz}) FillRandom(*f, rng);
      std::uniform_real_distribution<float> u(-1, 1);
      auto fill = [&](auto& planes) {
        for (auto& p : planes)
          for (size_t i = 0; i < p.size(); ++i) p.data()[i] = u(rng);
      };
      fill(d->MurPlanes);
      fill(d->RTABCPlanes);
    }
    ASSERT_TRUE(cache.Build(a));
    for (auto [d, threads] : {std::pair{&a, 1}, std::pair{&b, 4}}) {
      omp_set_num_threads(threads);
      const tIncidentWave none{};
      const bool ok = kind == 0   ? ApplyMur(*d, none) && SaveMurPlanes(*d, none)
                      : kind == 1 ? ApplySymmetry(*d) && ApplyPEC(*d)
                                  : ApplyDissipation(*d, cache, nullptr, tScatterCentre{70, 60, 3}) &&
                                        ApplyRTABC(*d, none) && ShiftRTABCLevels(*d, none);
      ASSERT_TRUE(ok) << kind;
    }
    EXPECT_TRUE(SameBits(a.Ex, b.Ex) && SameBits(a.Ey, b.Ey) && SameBits(a.Ez, b.Ez)) << kind;
    EXPECT_TRUE(planesSame(a.MurPlanes, b.MurPlanes) && planesSame(a.RTABCPlanes, b.RTABCPlanes)) << kind;
  }
  omp_set_num_threads(omp_get_num_procs());
}

// Every set of PEC faces on four threads: each tangential edge of a PEC plane ends at 0, rim
// lines included, and nothing else changes. Where two PEC faces meet, only one of them writes
// their common line (a race, otherwise, that a thread-sanitizer build of this test reports).
TEST(FaceThreads, PecFacesZeroTheirTangentialEdgesInEveryCombination) {
  const int nx = 140, ny = 130, nz = 6;
  ASSERT_TRUE(ParallelFaces(nx, ny, nz));
  SolverData d;
  MakeGrid(d, nx, ny, nz, 1e-3, 0.5);
  ASSERT_TRUE(Allocate(d));
  std::mt19937 rng(5);
  for (t3DSpaceArray* f : {&d.Ex, &d.Ey, &d.Ez}) FillRandom(*f, rng);
  const t3DSpaceArray ex0 = d.Ex, ey0 = d.Ey, ez0 = d.Ez;
  const int saved = omp_get_max_threads();
  omp_set_num_threads(4);
  for (int mask = 1; mask < 64; ++mask) {
    d.Ex = ex0;
    d.Ey = ey0;
    d.Ez = ez0;
    for (int f = 1; f <= 6; ++f) d.PECFace[f] = (mask >> (f - 1)) & 1;
    ASSERT_TRUE(ApplyPEC(d));
    // The rule edge by edge: E along axis c lies on the plane of a face with another normal.
    const int n[3] = {nx, ny, nz};
    t3DSpaceArray ref[3] = {ex0, ey0, ez0};
    t3DSpaceArray* comp[3] = {&ref[0], &ref[1], &ref[2]};
    for (int c = 0; c < 3; ++c)
      for (int i = 1; i <= n[0] - (c == 0); ++i)
        for (int j = 1; j <= n[1] - (c == 1); ++j)
          for (int k = 1; k <= n[2] - (c == 2); ++k) {
            const int at[3] = {i, j, k};
            bool pec = false;
            for (int a = 0; a < 3; ++a) {
              if (a == c) continue;
              const int lowFace = a == 0 ? FaceX1 : a == 1 ? FaceY1 : FaceZ1;
              const int highFace = a == 0 ? FaceXMax : a == 1 ? FaceYMax : FaceZMax;
              pec |= (at[a] == 1 && d.PECFace[lowFace]) || (at[a] == n[a] && d.PECFace[highFace]);
            }
            if (pec) (*comp[c])(i, j, k) = 0.0f;
          }
    ASSERT_TRUE(SameBits(d.Ex, ref[0]) && SameBits(d.Ey, ref[1]) && SameBits(d.Ez, ref[2])) << "faces " << mask;
  }
  omp_set_num_threads(saved);
}
