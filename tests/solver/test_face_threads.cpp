#include <gtest/gtest.h>
#include <omp.h>

#include <cstring>
#include <random>

#include "solver/faces.h"
#include "solver/mur.h"
#include "solver/solverdata.h"

using namespace rv;

namespace {

// A grid whose Z faces are large enough for the face passes to use threads.
void MakeGrid(SolverData& d, int nx, int ny, int nz) {
  SetGridSize(d, nx, ny, nz);
  d.AnyMur = 1;
  d.Dx = d.Dy = d.Dz = 1e-3;
  d.TimeStep = 0.5e-3;
  d.CourantX = d.CourantY = d.CourantZ = 0.5;
  ASSERT_GT(AllocFieldArrays(d), 0);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(-1, 1);
  for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz})
    for (size_t i = 0; i < a->size(); ++i) a->data()[i] = u(rng);
  for (auto& p : d.MurPlanes)
    for (size_t i = 0; i < p.size(); ++i) p.data()[i] = u(rng);
}

bool SameBits(const t3DSpaceArray& a, const t3DSpaceArray& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

TEST(FaceThreads, MurPecAndSymmetryGiveTheSameBitsOnAnyThreadCount) {
  const int nx = 140, ny = 130, nz = 6;
  ASSERT_TRUE(ParallelFaces(nx, ny, nz));
  SolverData a, b;
  MakeGrid(a, nx, ny, nz);
  MakeGrid(b, nx, ny, nz);
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
    EXPECT_TRUE(SameBits(a.Ex, b.Ex)) << kind;
    EXPECT_TRUE(SameBits(a.Ey, b.Ey)) << kind;
    EXPECT_TRUE(SameBits(a.Ez, b.Ez)) << kind;
    for (int p = 0; p < MurPlaneCount; ++p)
      EXPECT_EQ(std::memcmp(a.MurPlanes[p].data(), b.MurPlanes[p].data(),
                            a.MurPlanes[p].size() * sizeof(float)), 0) << p;
  }
  omp_set_num_threads(omp_get_num_procs());
}
