#include <gtest/gtest.h>
#include <omp.h>

#include <cstring>
#include <random>

#include "kernel_fixture.h"
#include "solver/dissipation.h"
#include "solver/rtabc.h"

using namespace rv;
using namespace rvtest;

TEST(FaceThreads, MurPecAndSymmetryGiveTheSameBitsOnAnyThreadCount) {
  const int nx = 140, ny = 130, nz = 6;  // Z faces large enough for the face passes to use threads
  ASSERT_TRUE(ParallelFaces(nx, ny, nz));
  SolverData a, b;
  for (SolverData* d : {&a, &b}) {
    MakeGrid(*d, nx, ny, nz, 1e-3, 0.5);
    d->AnyMur = 1;
    ASSERT_TRUE(Allocate(*d));
    std::mt19937 rng(7);
    for (t3DSpaceArray* f : {&d->Ex, &d->Ey, &d->Ez, &d->Hx, &d->Hy, &d->Hz}) FillRandom(*f, rng);
    std::uniform_real_distribution<float> u(-1, 1);
    for (auto& p : d->MurPlanes)
      for (size_t i = 0; i < p.size(); ++i) p.data()[i] = u(rng);
  }
  const tIncidentWave none{};
  auto run = [&](SolverData& d, int threads, int kind) {
    omp_set_num_threads(threads);
    for (int f = 1; f <= 6; ++f) {
      d.MurFace[f] = kind == 0;
      d.PECFace[f] = kind == 1 && f % 2 == 0;
      d.SymEFace[f] = kind == 1 && f % 2 == 1;
    }
    if (kind == 0) {
      ASSERT_TRUE(ApplyMur(d, none));
      ASSERT_TRUE(SaveMurPlanes(d, none));
    } else {
      ASSERT_TRUE(ApplySymmetry(d));
      ASSERT_TRUE(ApplyPEC(d));
    }
  };
  for (int kind = 0; kind < 2; ++kind) {
    run(a, 1, kind);
    run(b, 4, kind);
    EXPECT_TRUE(SameBits(a.Ex, b.Ex) && SameBits(a.Ey, b.Ey) && SameBits(a.Ez, b.Ez)) << kind;
    for (int p = 0; p < MurPlaneCount; ++p)
      EXPECT_EQ(std::memcmp(a.MurPlanes[p].data(), b.MurPlanes[p].data(),
                            a.MurPlanes[p].size() * sizeof(float)), 0) << p;
  }
  omp_set_num_threads(omp_get_num_procs());
}

TEST(FaceThreads, InvRAndRTABCGiveTheSameBitsOnAnyThreadCount) {
  const int nx = 140, ny = 130, nz = 6;
  SolverData a, b;
  EdgeCoefCache cache;
  for (SolverData* d : {&a, &b}) {
    MakeGrid(*d, nx, ny, nz, 1e-3, 0.5);
    for (int f = 1; f <= 6; ++f) d->DissipationFace[f] = d->RTABCFace[f] = 1;
    d->AnyRTABC = 1;
    ASSERT_TRUE(Allocate(*d));
    std::mt19937 rng(8);
    for (t3DSpaceArray* f : {&d->Ex, &d->Ey, &d->Ez, &d->Hx, &d->Hy, &d->Hz}) FillRandom(*f, rng);
    std::uniform_real_distribution<float> u(-1, 1);
    for (auto& p : d->RTABCPlanes)
      for (size_t i = 0; i < p.size(); ++i) p.data()[i] = u(rng);
  }
  ASSERT_TRUE(cache.Build(a));
  for (auto [d, threads] : {std::pair{&a, 1}, std::pair{&b, 4}}) {
    omp_set_num_threads(threads);
    ASSERT_TRUE(ApplyDissipation(*d, cache, nullptr, tScatterCentre{70, 60, 3}));
    ASSERT_TRUE(ApplyRTABC(*d, tIncidentWave{}));
    ASSERT_TRUE(ShiftRTABCLevels(*d, tIncidentWave{}));
  }
  EXPECT_TRUE(SameBits(a.Ex, b.Ex) && SameBits(a.Ey, b.Ey) && SameBits(a.Ez, b.Ez));
  for (int p = 0; p < RTABCPlaneCount; ++p)
    EXPECT_EQ(std::memcmp(a.RTABCPlanes[p].data(), b.RTABCPlanes[p].data(),
                          a.RTABCPlanes[p].size() * sizeof(float)), 0) << p;
  omp_set_num_threads(omp_get_num_procs());
}
