#include <gtest/gtest.h>

#include <algorithm>
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
std::array<int, 3> Shape(const t3DSpaceArray& a) { return {a.len1(), a.len2(), a.len3()}; }
// x min, x max, y min, y max, z min, z max.
std::array<int, 6> Bounds(const SolverData& d) {
  return {d.ObjXMin, d.ObjXMax, d.ObjYMin, d.ObjYMax, d.ObjZMin, d.ObjZMax};
}
}  // namespace

TEST(Constants, BitsAndDerivedValues) {
  EXPECT_EQ(Bits(LightSpeed), 0x4D8EF3C4u);
  EXPECT_EQ(Bits(Mu0), 0x35A8A9B8u);
  EXPECT_EQ(std::tuple(InvEta0, Eps0, Eta0, Mu0C), std::tuple(0.0026544183f, 8.854184746e-12f, 376.73038f, 376.73038f));
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
  ASSERT_GT(AllocFieldArrays(d), 0);
  EXPECT_EQ(std::tuple(Shape(d.Hx), Shape(d.Ex), Shape(d.Ez)),
            std::tuple(std::array{11, 10, 10}, std::array{10, 11, 11}, std::array{11, 11, 10}));
  // The derived sizes are as they were before the call.
  EXPECT_EQ(std::tuple(d.SpaceNx, d.NxEdges, d.NzEdges), std::tuple(10, 9, 9));
  EXPECT_TRUE(d.PowerX.empty() && d.MurPlanes[0].empty());

  d.Ex(5, 5, 5) = 3.0f;
  ClearFields(d);
  EXPECT_EQ(std::tuple(d.Ex(5, 5, 5), d.HCoefCell.empty(), d.HCoefUniform),
            std::tuple(0.0f, true, float(1.0L / 376.73038f)));

  FreeFieldArrays(d);
  EXPECT_TRUE(d.Ex.empty() && d.Hz.empty());
  EXPECT_EQ(std::tuple(d.Space(3, 4, 5), d.Layers[2].Name), std::tuple(2, "Медь"));
}

TEST(FieldArrays, OptionalArraysFollowTheirFlags) {
  SolverData d;
  SetGridSize(d, 6, 7, 8);
  d.SAROn = d.MagneticMaterials = d.AnyMur = d.AnyRTABC = 1;
  ASSERT_GT(AllocFieldArrays(d), 0);  // the count against the estimate: the memory tests
  EXPECT_EQ(std::tuple(d.PowerY.len2(), d.EyPrev.len2(), d.MurPlanes[0].len1(), d.MurPlanes[0].len2(),
                       d.MurPlanes[11].len1(), d.MurPlanes[11].len2()), std::tuple(8, 7, 8, 8, 6, 8));
  ASSERT_EQ(d.RTABCPlanes.size(), 96u);
  EXPECT_EQ(d.RTABCPlanes[95].len1(), 6);
  ClearFields(d);
  EXPECT_EQ(d.HCoefCell(3, 3, 3), d.HCoefUniform);
  FreeFieldArrays(d);
  EXPECT_TRUE(d.RTABCPlanes.empty() && d.PowerX.empty());
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

// Blocks large enough to be mapped on their own: zero when new, their contents kept by a
// copy, a move and a re-size, and freed alike whether large or small.
TEST(FieldArrays, LargeBlocksZeroCopiedAndResized) {
  t3DSpaceArray a;
  ASSERT_TRUE(a.allocate(301, 203, 23));  // 5.6 MB
  EXPECT_TRUE(std::all_of(a.data(), a.data() + a.size(), [](float v) { return v == 0; }));
  a(0, 0, 0) = 1;
  a(300, 202, 22) = 2;
  t3DSpaceArray b(a), c;
  c = std::move(b);
  ASSERT_TRUE(c.resizeKeep(302, 203, 24));
  EXPECT_EQ(std::tuple(c(0, 0, 0), c(300, 202, 22), c(301, 202, 23), c(300, 202, 23)), std::tuple(1.f, 2.f, 0.f, 0.f));
  ASSERT_TRUE(c.allocate(2, 2, 2));  // a small block after a large one
  EXPECT_EQ(c(1, 1, 1), 0.f);
  ASSERT_TRUE(a.allocate(301, 203, 23));  // again over a large one: zero again
  EXPECT_EQ(std::tuple(a(0, 0, 0), a(300, 202, 22)), std::tuple(0.f, 0.f));
}

TEST(ResultPaths, FoldersFromProjectName) {
  SolverData d;
  SetResultPaths(d, "/data/Horn.fdt");
  EXPECT_EQ(std::tuple(d.ProjectDir, d.ProjectName, d.ResultDir, d.SARDir, d.ImagesDir, d.FARDir),
            std::tuple("/data/", "Horn", "/data/Results - Horn/", "/data/Results - Horn/SAR/",
                       "/data/Results - Horn/Images/", "/data/Results - Horn/FAR/"));
  SetResultPaths(d, "/a.b/Антенна.v2.fdt");
  EXPECT_EQ(std::tuple(d.ProjectName, d.ResultDir), std::tuple("Антенна.v2", "/a.b/Results - Антенна.v2/"));
}

TEST(ObjectBounds, OccupiedEmptyAndSwitchedOff) {
  SolverData d;
  SetGridSize(d, 20, 30, 41);
  ASSERT_TRUE(ResizeSpace(d));
  FindObjectBounds(d);
  EXPECT_EQ(Bounds(d), (std::array{10, 10, 15, 15, 20, 20}));
  d.Space(3, 4, 5) = 7;  // material 7 is switched off
  FindObjectBounds(d);
  EXPECT_EQ(Bounds(d), (std::array{10, 10, 15, 15, 20, 20}));
  d.Layers[7].On = 1;
  FindObjectBounds(d);
  EXPECT_EQ(Bounds(d), (std::array{3, 4, 4, 5, 5, 6}));
  d.Space(19, 1, 40) = 7;
  FindObjectBounds(d);
  EXPECT_EQ(Bounds(d), (std::array{3, 20, 1, 5, 5, 41}));
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
  EXPECT_EQ(std::tuple(d.ObjXMin, d.ObjXMax), std::tuple(5, 6));
}

TEST(Space, ResizeKeepsContents) {
  SolverData d;
  SetGridSize(d, 4, 4, 4);
  ASSERT_TRUE(ResizeSpace(d));
  d.Space(2, 3, 1) = 9;
  SetGridSize(d, 8, 3, 6);
  ASSERT_TRUE(ResizeSpace(d));
  EXPECT_EQ(std::tuple(d.Space.len1(), d.Space.len2(), d.Space(2, 3, 1), d.Space(8, 3, 6), d.UndoSpace.len3()),
            std::tuple(9, 4, 9, 0, 7));
}
