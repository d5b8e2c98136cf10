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
