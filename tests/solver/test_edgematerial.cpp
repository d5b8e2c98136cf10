#include <gtest/gtest.h>

#include "kernel_fixture.h"
#include "solver/constants.h"
#include "solver/edgematerial.h"

using namespace rv;
using namespace rvtest;

namespace {
const float kVacuumCb = float(1.0L / ((long double)Eps0 * (long double)LightSpeed));
}

TEST(EdgeMaterial, VacuumInsideAndOutsideTheBox) {
  SolverData d;
  MakeGrid(d, 10, 10, 10, 1e-3, 0.5);
  SetMaterial(d, 1, 0.5, 4);
  d.Space(3, 3, 3) = 1;
  d.Space(6, 6, 6) = 1;
  FindObjectBounds(d);  // box 3..7 on each axis

  // All four cells empty, inside the box.
  tEdgeMaterial M = GetEdgeMaterial(d, 5, 5, 5, 'X');
  EXPECT_EQ(std::tuple(M.Ca, M.Cb, M.NeighbourCount, M.EpsStatic), std::tuple(1.0f, kVacuumCb, 0, Eps0));

  // Just outside the box: Eta0, and the permittivity is left at 1 (not times Eps0).
  M = GetEdgeMaterial(d, 8, 5, 5, 'Y');
  EXPECT_EQ(std::tuple(M.Ca, M.Cb, M.EpsStatic, M.EpsInf, M.DebyeDecay, M.DebyeCoef),
            std::tuple(1.0f, Eta0, 1.0f, 1.0f, 1.0f, 0.0f));
  // Both vacuum values agree to float precision.
  EXPECT_NEAR(double(kVacuumCb) / double(Eta0), 1.0, 2e-7);

  // Any index and any axis letter is safe.
  for (int v : {-1000000, -1, 0, 11, 12, 1 << 30}) {
    EXPECT_EQ(GetEdgeMaterial(d, v, 5, 5, 'X').Cb, Eta0);
    EXPECT_EQ(GetEdgeMaterial(d, 5, v, 5, 'Z').Ca, 1.0f);
  }
  d.ObjXMin = d.ObjYMin = d.ObjZMin = -100;
  d.ObjXMax = d.ObjYMax = d.ObjZMax = 100;
  for (int v : {-5, 0, 10, 11, 50}) {
    M = GetEdgeMaterial(d, v, v, v, 'Y');
    EXPECT_EQ(std::tuple(M.Ca, M.NeighbourCount), std::tuple(1.0f, 0)) << v;
  }
  EXPECT_EQ(GetEdgeMaterial(d, 3, 3, 3, 'Q').EpsStatic, float((4.0L + 3) * Eps0 / 4));
}

TEST(EdgeMaterial, AveragesFourCellsWithMissingOnesAsVacuum) {
  SolverData d;
  MakeGrid(d, 8, 8, 8, 1e-3, 0.5);
  SetMaterial(d, 1, 2.0, 5, -1, 0, 3, 1000);
  for (int i = 1; i <= 7; ++i)
    for (int j = 1; j <= 7; ++j)
      for (int k = 1; k <= 7; ++k) d.Space(i, j, k) = 1;
  FindObjectBounds(d);

  // Interior Ex edge: all four cells material 1.
  tEdgeMaterial M = GetEdgeMaterial(d, 4, 4, 4, 'X');
  EXPECT_EQ(std::tuple(M.EpsStatic, M.Sigma, M.Mu, M.NeighbourCount), std::tuple(float(5.0L * Eps0), 2.0f, 3.0f, 3));

  // Ex at J = 1: the two cells at J - 1 are missing; K = 1 likewise. They count as vacuum.
  M = GetEdgeMaterial(d, 4, 1, 4, 'X');  // own 5; acc 1 + 1 + 5
  EXPECT_EQ(std::tuple(M.EpsStatic, M.Mu, M.Sigma, M.NeighbourCount, M.Neighbour[2], M.Neighbour[0]),
            std::tuple(float((5.0L + 7) * Eps0 / 4), float((3.0L + 5) / 4), float(4.0L / 4), 1, 1, 0));
  M = GetEdgeMaterial(d, 4, 1, 1, 'X');
  EXPECT_EQ(std::tuple(M.EpsStatic, M.NeighbourCount), std::tuple(float((5.0L + 3) * Eps0 / 4), 0));
  // Ez at I = 1: cells at I - 1 missing.
  M = GetEdgeMaterial(d, 1, 4, 4, 'Z');
  EXPECT_EQ(std::tuple(M.NeighbourCount, M.Neighbour[2]), std::tuple(1, 1));
}

TEST(EdgeMaterial, SwitchedOffAndInvalidMaterialsCountAsVacuum) {
  SolverData d;
  MakeGrid(d, 8, 8, 8, 1e-3, 0.5);
  SetMaterial(d, 1, 0, 4);
  SetMaterial(d, 2, 0, 9);
  d.Layers[2].On = 0;
  // Edge Ey (4,4,4): own (4,4,4), first (3,4,3), second (3,4,4), third (4,4,3).
  d.Space(4, 4, 4) = 2;    // switched off
  d.Space(3, 4, 3) = 1;
  d.Space(3, 4, 4) = 255;  // the editor's transient mark, no material
  d.Space(4, 4, 3) = 2;
  d.Space(2, 2, 2) = 1;
  FindObjectBounds(d);
  tEdgeMaterial M = GetEdgeMaterial(d, 4, 4, 4, 'Y');  // slot 1 is the first cell's for 'Y'
  EXPECT_EQ(std::tuple(M.EpsStatic, M.NeighbourCount, M.Neighbour[0], M.Neighbour[1], M.Neighbour[2]),
            std::tuple(float((1.0L + (4 + 1 + 1)) * Eps0 / 4), 1, 0, 1, 0));
  // Switching material 2 on changes the next lookup: no state is kept.
  d.Layers[2].On = 1;
  M = GetEdgeMaterial(d, 4, 4, 4, 'Y');
  EXPECT_EQ(std::tuple(M.EpsStatic, M.NeighbourCount), std::tuple(float((9.0L + (4 + 1 + 9)) * Eps0 / 4), 2));
}

// With PolarDielectrics set, Tau = 0 or EpsStatic = EpsInf still take the plain update.
TEST(EdgeMaterial, NonDispersiveMaterialsUnderPolarDielectrics) {
  SolverData d;
  MakeGrid(d, 6, 6, 6, 1e-3, 0.5);
  d.PolarDielectrics = 1;
  SetMaterial(d, 1, 0.3, 50, 5, 0);
  SetMaterial(d, 2, 0.3, 7, 7, 1e-11);
  SetMaterial(d, 3, 0.3, 50, 5, 1e-11);
  for (uint8_t m = 1; m <= 3; ++m) {
    d.Space(3, 3, 3) = d.Space(3, 2, 2) = d.Space(3, 2, 3) = d.Space(3, 3, 2) = m;
    FindObjectBounds(d);
    const tEdgeMaterial M = GetEdgeMaterial(d, 3, 3, 3, 'X');
    EXPECT_EQ(M.DebyeCoef == 0 && M.DebyeDecay == 1, m != 3) << int(m);
  }
}

// The cache must give exactly what the rule gives, edge by edge, for a model with many
// materials (uniform and mixed rows, and more than 65536 classes for the wide index).
TEST(EdgeCoefCache, EqualsTheRuleOnEveryUpdatedEdge) {
  for (int materials : {4, 254}) {
    SolverData d;
    const int n = materials == 4 ? 14 : 44;
    MakeGrid(d, n, n - 1, n + 1, 2e-3, 0.55);
    d.PolarDielectrics = 1;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0, 1);
    for (int m = 1; m <= materials; ++m)
      SetMaterial(d, m, u(rng), 2 + m % 17, 2 + m % 5, (m % 3) * 1e-11, 1 + (m % 4) * 0.5);
    d.Layers[3].On = 0;
    std::uniform_int_distribution<int> pick(0, materials);
    for (int i = 2; i <= n - 3; ++i)
      for (int j = 3; j <= n - 4; ++j)
        for (int k = 1; k <= n; ++k)
          d.Space(i, j, k) = uint8_t(i < n / 2 ? 1 + (k > n / 2) : pick(rng));
    FindObjectBounds(d);
    EdgeCoefCache cache;
    std::string err;
    ASSERT_TRUE(cache.Build(d, &err)) << err;
    EXPECT_EQ(cache.Wide, materials == 254);
    int uniformRows = 0, runRows = 0, edgeRows = 0;
    for (int a = 0; a < 3; ++a)
      for (const auto& r : cache.Rows[a])
        (r.Uniform >= 0 ? uniformRows : r.SegCount > 0 ? runRows : r.Offset >= 0 ? edgeRows : uniformRows)++;
    EXPECT_TRUE(uniformRows > 0 && runRows > 0 && edgeRows > 0) << uniformRows << " " << runRows << " " << edgeRows;
    const char axes[3] = {'X', 'Y', 'Z'};
    int checked = 0, wrong = 0;
    for (int a = 0; a < 3; ++a)
      for (int i = 1; i <= n - 1; ++i)
        for (int j = 1; j <= n - 2; ++j)
          for (int k = 1; k <= n; ++k) {
            const int c = cache.ClassOf(axes[a], i, j, k);
            const bool covered = (a == 0 ? i >= 1 : i >= 2) && i <= n - 1 &&
                                 (a == 1 ? j >= 1 : j >= 2) && j <= n - 2 &&
                                 (a == 2 ? k >= 1 : k >= 2) && k <= n;
            ASSERT_EQ(c >= 0, covered) << a << " " << i << " " << j << " " << k;
            if (!covered) continue;
            const tEdgeMaterial M = GetEdgeMaterial(d, i, j, k, axes[a]);
            const EdgeCoefs& e = cache.Table[size_t(c)];
            ++checked;
            if (std::memcmp(&e.Ca, &M.Ca, 4) || std::memcmp(&e.Cb, &M.Cb, 4) ||
                std::memcmp(&e.DebyeCoef, &M.DebyeCoef, 4) ||
                std::memcmp(&e.DebyeDecay, &M.DebyeDecay, 4))
              ++wrong;
          }
    EXPECT_TRUE(checked > 1000 && wrong == 0) << checked << " " << wrong;
  }
}

TEST(EdgeCoefCache, RefusesAGridThatIsNotSet) {
  SolverData d;
  EdgeCoefCache cache;
  std::string err;
  EXPECT_FALSE(cache.Build(d, &err) || err.empty());
  EXPECT_TRUE(cache.Empty() && cache.ClassOf('X', 1, 1, 1) == -1);
}
