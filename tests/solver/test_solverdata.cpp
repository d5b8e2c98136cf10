#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "solver/constants.h"
#include "solver/resultpaths.h"
#include "solver/solverdata.h"

using namespace rv;

namespace {
uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}
}  // namespace

TEST(Constants, BitsAndDerivedValues) {
  EXPECT_EQ(Bits(LightSpeed), 0x4D8EF3C4u);
  EXPECT_EQ(Bits(Mu0), 0x35A8A9B8u);
  EXPECT_EQ(InvEta0, 0.0026544183f);
  EXPECT_EQ(Eps0, 8.854184746e-12f);
  EXPECT_EQ(Eta0, 376.73038f);
  EXPECT_EQ(Mu0C, 376.73038f);
  // Physics: 1/sqrt(mu0 eps0) is the speed of light the solver uses, to float precision.
  const double c = 1.0 / std::sqrt(double(Mu0) * double(Eps0));
  EXPECT_NEAR(c / LightSpeed, 1.0, 1e-6);
  EXPECT_NEAR(double(Eta0) * double(InvEta0), 1.0, 1e-7);
}

TEST(FieldArrays, AllocateCountShapesAndRelease) {
  SolverData d;
  SetGridSize(d, 10, 10, 10);
  ASSERT_TRUE(ResizeSpace(d));
  d.Space(3, 4, 5) = 2;
  d.Layers[2].On = 1;
  d.Layers[2].Name = "Медь";
  EXPECT_EQ(AllocFieldArrays(d), 18557);
  EXPECT_EQ(d.Hx.len1(), 11); EXPECT_EQ(d.Hx.len2(), 10); EXPECT_EQ(d.Hx.len3(), 10);
  EXPECT_EQ(d.Ex.len1(), 10); EXPECT_EQ(d.Ex.len2(), 11); EXPECT_EQ(d.Ex.len3(), 11);
  EXPECT_EQ(d.Ez.len1(), 11); EXPECT_EQ(d.Ez.len2(), 11); EXPECT_EQ(d.Ez.len3(), 10);
  // The derived sizes are as they were before the call.
  EXPECT_EQ(d.SpaceNx, 10); EXPECT_EQ(d.NxEdges, 9); EXPECT_EQ(d.NzEdges, 9);
  EXPECT_TRUE(d.PowerX.empty());
  EXPECT_TRUE(d.MurPlanes[0].empty());

  d.Ex(5, 5, 5) = 3.0f;
  ClearFields(d);
  EXPECT_EQ(d.Ex(5, 5, 5), 0.0f);
  EXPECT_TRUE(d.HCoefCell.empty());
  EXPECT_EQ(d.HCoefUniform, float(1.0L / 376.73038f));

  FreeFieldArrays(d);
  EXPECT_TRUE(d.Ex.empty());
  EXPECT_TRUE(d.Hz.empty());
  EXPECT_EQ(d.Space(3, 4, 5), 2);
  EXPECT_EQ(d.Layers[2].Name, "Медь");
}

TEST(FieldArrays, OptionalArraysFollowTheirFlags) {
  SolverData d;
  SetGridSize(d, 6, 7, 8);
  d.SAROn = 1;
  d.MagneticMaterials = 1;
  d.AnyMur = 1;
  d.AnyRTABC = 1;
  const int64_t n = AllocFieldArrays(d);
  const int64_t A = 7 * 8 * 9, S = 8 * 8 + 7 * 9 + 7 * 8 + 6 * 9 + 7 * 7 + 6 * 8;
  EXPECT_EQ(n, 6 * A + 3 * A + 2 * 6 * 7 * 8 + A + 2 * S + 12 * S + 4 * S);
  EXPECT_EQ(d.PowerY.len2(), 8);
  EXPECT_EQ(d.EyPrev.len2(), 7);
  EXPECT_EQ(d.MurPlanes[0].len1(), 8); EXPECT_EQ(d.MurPlanes[0].len2(), 8);
  EXPECT_EQ(d.MurPlanes[11].len1(), 6); EXPECT_EQ(d.MurPlanes[11].len2(), 8);
  ASSERT_EQ(d.RTABCPlanes.size(), 96u);
  EXPECT_EQ(d.RTABCPlanes[95].len1(), 6);
  ClearFields(d);
  EXPECT_EQ(d.HCoefCell(3, 3, 3), d.HCoefUniform);
  FreeFieldArrays(d);
  EXPECT_TRUE(d.RTABCPlanes.empty());
  EXPECT_TRUE(d.PowerX.empty());
}

TEST(FieldArrays, GridTooLargeForMemoryIsRefused) {
  SolverData d;
  SetGridSize(d, 5000, 5000, 5000);  // about 3 TB of fields
  EXPECT_EQ(AllocFieldArrays(d), 0);
  EXPECT_TRUE(d.Ex.empty());
  // A small limit refuses a grid that would otherwise fit.
  SolverData s;
  SetGridSize(s, 50, 50, 50);
  s.MemoryLimitBytes = 1 << 20;
  EXPECT_EQ(AllocFieldArrays(s), 0);
  s.MemoryLimitBytes = 0;
  EXPECT_GT(AllocFieldArrays(s), 0);
}

TEST(ResultPaths, FoldersFromProjectName) {
  SolverData d;
  SetResultPaths(d, "/data/Horn.fdt");
  EXPECT_EQ(d.ProjectDir, "/data/");
  EXPECT_EQ(d.ProjectName, "Horn");
  EXPECT_EQ(d.ResultDir, "/data/Results - Horn/");
  EXPECT_EQ(d.SARDir, "/data/Results - Horn/SAR/");
  EXPECT_EQ(d.ImagesDir, "/data/Results - Horn/Images/");
  EXPECT_EQ(d.FARDir, "/data/Results - Horn/FAR/");
  SetResultPaths(d, "/a.b/Антенна.v2.fdt");
  EXPECT_EQ(d.ProjectName, "Антенна.v2");
  EXPECT_EQ(d.ResultDir, "/a.b/Results - Антенна.v2/");
}

TEST(ObjectBounds, OccupiedEmptyAndSwitchedOff) {
  SolverData d;
  SetGridSize(d, 20, 30, 41);
  ASSERT_TRUE(ResizeSpace(d));
  FindObjectBounds(d);
  EXPECT_EQ(d.ObjXMin, 10); EXPECT_EQ(d.ObjXMax, 10);
  EXPECT_EQ(d.ObjYMin, 15); EXPECT_EQ(d.ObjYMax, 15);
  EXPECT_EQ(d.ObjZMin, 20); EXPECT_EQ(d.ObjZMax, 20);

  d.Space(3, 4, 5) = 7;  // material 7 is switched off
  FindObjectBounds(d);
  EXPECT_EQ(d.ObjXMin, 10); EXPECT_EQ(d.ObjZMax, 20);

  d.Layers[7].On = 1;
  FindObjectBounds(d);
  EXPECT_EQ(d.ObjXMin, 3); EXPECT_EQ(d.ObjXMax, 4);
  EXPECT_EQ(d.ObjYMin, 4); EXPECT_EQ(d.ObjYMax, 5);
  EXPECT_EQ(d.ObjZMin, 5); EXPECT_EQ(d.ObjZMax, 6);

  d.Space(19, 1, 40) = 7;
  FindObjectBounds(d);
  EXPECT_EQ(d.ObjXMin, 3); EXPECT_EQ(d.ObjXMax, 20);
  EXPECT_EQ(d.ObjYMin, 1); EXPECT_EQ(d.ObjYMax, 5);
  EXPECT_EQ(d.ObjZMin, 5); EXPECT_EQ(d.ObjZMax, 41);
}

TEST(ObjectBounds, GridLargerThanModelStaysInside) {
  // The grid counts may run ahead of the model's size; the scan must not leave the array.
  SolverData d;
  SetGridSize(d, 5, 5, 5);
  ASSERT_TRUE(ResizeSpace(d));
  d.Layers[1].On = 1;
  d.Space(5, 5, 5) = 1;
  d.Nx = d.Ny = d.Nz = 50;
  FindObjectBounds(d);
  EXPECT_EQ(d.ObjXMin, 5);
  EXPECT_EQ(d.ObjXMax, 6);
}

TEST(Space, ResizeKeepsContents) {
  SolverData d;
  SetGridSize(d, 4, 4, 4);
  ASSERT_TRUE(ResizeSpace(d));
  d.Space(2, 3, 1) = 9;
  SetGridSize(d, 8, 3, 6);
  ASSERT_TRUE(ResizeSpace(d));
  EXPECT_EQ(d.Space.len1(), 9);
  EXPECT_EQ(d.Space.len2(), 4);
  EXPECT_EQ(d.Space(2, 3, 1), 9);
  EXPECT_EQ(d.Space(8, 3, 6), 0);
  EXPECT_EQ(d.UndoSpace.len3(), 7);
}
