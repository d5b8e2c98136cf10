// Model operations: delete, clone, move, rotate, body of revolution.

#include <cmath>
#include <numbers>

#include "common/alloc_fail.h"
#include "editor/modelops.h"
#include "editor/dxfimport.h"
#include "editor/modelfiles.h"
#include "editor/parabola.h"
#include "editor/placing.h"
#include "testgrid.h"

namespace {

using rv::SectionAxis;
using rv::SolverData;

rv::SectionView Section(SectionAxis a, int slice, int n) {
  rv::SectionView v;
  v.Axis = a;
  v.SliceX = v.SliceY = v.SliceZ = slice;
  v.SizeFor(n, n, n);
  return v;
}

TEST(ModelOps, DeleteAllMarksModifiedAndKeepsTheEarlierSnapshot) {
  auto d = Grid(8);
  rv::MaterialState m;
  d->Space(2, 2, 2) = 1;
  rv::SaveUndo(*d, m);
  d->Space(3, 3, 3) = 1, d->Space(8, 8, 8) = 1;
  d->Modified = 0;
  rv::DeleteAll(*d);
  EXPECT_EQ(std::tuple(Occupied(*d), int(d->Space(8, 8, 8)), int(d->Modified)), std::tuple(0, 0, 1));
  ASSERT_TRUE(rv::RestoreUndo(*d, m));
  EXPECT_EQ(std::tuple(Occupied(*d), int(d->Space(2, 2, 2))), std::tuple(1, 1));
}

TEST(ModelOps, CloneDirectionsAndRefusal) {
  auto d = Grid(10);
  rv::MaterialState m;
  d->Layers[2].On = 0;
  // Section ⊥X at x = 9 (N-1): cells (9, 2, 3) = 1 and (9, 2, 4) hidden material 2.
  const rv::SectionView v = Section(SectionAxis::X, 9, 10);
  d->Space(9, 2, 3) = 1, d->Space(9, 2, 4) = 2;
  int h, vv, w;
  rv::ModelToPlane(v, {9, 2, 3}, h, vv, w);
  const rv::GridRect sel{h - 1, v.RowCount - vv, h, v.RowCount - vv};  // z = 3..4 at y = 2
  rv::CloneOptions o;
  o.Mode = rv::CloneOptions::Forward, o.Count = 5;
  // Forward from N-1 there is no model cell left: index N, which undo cannot restore, stays
  // empty; the snapshot is taken all the same.
  m.UndoReady = false;
  ASSERT_TRUE(rv::CloneSelection(*d, m, v, sel, o));
  EXPECT_EQ(std::tuple(int(d->Space(10, 2, 3)), Occupied(*d), m.UndoReady), std::tuple(0, 2, true));
  o.Mode = rv::CloneOptions::Backward, o.Count = 3, o.CopyHidden = true;
  ASSERT_TRUE(rv::CloneSelection(*d, m, v, sel, o));
  for (int x = 6; x <= 8; ++x) EXPECT_EQ(std::tuple(int(d->Space(x, 2, 3)), int(d->Space(x, 2, 4))), std::tuple(1, 2));
  EXPECT_EQ(int(d->Space(5, 2, 3)), 0);
  // A hidden target is kept unless overwriting is asked for; empty cells copy only on request.
  d->Space(9, 2, 4) = 0, d->Space(1, 2, 3) = 2, d->Space(1, 2, 4) = 1;
  o.Mode = rv::CloneOptions::ToSection, o.Section = 1, o.CopyEmpty = true;
  ASSERT_TRUE(rv::CloneSelection(*d, m, v, sel, o));
  EXPECT_EQ(std::tuple(int(d->Space(1, 2, 3)), int(d->Space(1, 2, 4))), std::tuple(2, 0));
  // A target past the model cells (N itself included) changes nothing and takes no snapshot;
  // N-1 is the last one.
  for (int t : {11, 10}) {
    m.UndoReady = false, d->Modified = 0;
    o.Section = t;
    EXPECT_FALSE(rv::CloneSelection(*d, m, v, sel, o)) << t;
    EXPECT_EQ(std::tuple(m.UndoReady, int(d->Modified), int(d->Space(10, 2, 3))), std::tuple(false, 0, 0)) << t;
  }
  o.Section = 9;
  EXPECT_TRUE(rv::CloneSelection(*d, m, v, sel, o));
  EXPECT_EQ(rv::CloneLastSection(*d, SectionAxis::Y), 9);
}

TEST(ModelOps, MoveKeepsHiddenMaterialsAndDropsCellsLeavingTheModel) {
  auto d = Grid(10);
  rv::MaterialState m;
  d->Layers[2].On = 0;
  d->Space(2, 2, 2) = 1, d->Space(9, 5, 5) = 1, d->Space(4, 3, 1) = 2, d->Space(1, 3, 2) = 1;
  std::string err;
  ASSERT_TRUE(rv::MoveModel(*d, m, 3, 1, -1, err));
  // (2,2,2) -> (5,3,1); (9,5,5) leaves; the hidden cell stays, (1,3,2) -> (4,4,1).
  EXPECT_EQ(std::tuple(int(d->Space(5, 3, 1)), int(d->Space(4, 3, 1)), int(d->Space(4, 4, 1)), Occupied(*d)),
            std::tuple(1, 2, 1, 3));
  EXPECT_TRUE(m.UndoReady);
  // A moved cell landing on the hidden one later in x, y, z order replaces it.
  d->Space(7, 3, 1) = 1;
  ASSERT_TRUE(rv::MoveModel(*d, m, -3, 0, 0, err));
  EXPECT_EQ(int(d->Space(4, 3, 1)), 1);
}

TEST(ModelOps, TableShiftSkipsCellsThatAreNoWholeNumbers) {
  rv::OutPointTables out;
  rv::LampedTables lamped;
  rv::ModifiedFlag mod{0};
  rv::AppendRow(lamped.sgResistors, {"3", "4", "", "50", "X"}, mod);
  rv::AppendRow(out.sgOutPoint, {"E", "x", "3", "4", "5", "Ex(3,4,5).grf"}, mod);
  rv::AppendRow(out.sgCurrent, {"1", "1", "1", "2", "2", "2", "I"}, mod);
  rv::AppendRow(out.sgFarPoints, {"7", "a", "7"}, mod);
  EXPECT_EQ(rv::ShiftTableCoords(out, lamped, 1, 2, 3), 2);
  EXPECT_EQ(Row(lamped.sgResistors, 1) + Row(out.sgOutPoint, 1) + Row(out.sgCurrent, 1) + Row(out.sgFarPoints, 1),
            "4|6||50|X|E|x|4|6|8|Ex(3,4,5).grf|2|3|4|3|4|5|I|8|a|10|");
  EXPECT_NE(rv::CellsLeftText(2).find('2'), std::string::npos);
  EXPECT_EQ(rv::CellsLeftText(0), "");
}

TEST(ModelOps, RotateFortyFiveDegreesLeavesNoHoles) {
  auto d = Grid(40);
  rv::MaterialState m;
  Box(*d, {20, 10, 10}, {20, 30, 30}, 1);
  std::string err;
  ASSERT_TRUE(rv::RotateModel(*d, m, {SectionAxis::X, 20, 20}, std::numbers::pi / 4, err));
  const int n = Occupied(*d);
  EXPECT_NEAR(n, 441, 441 * 0.05);
  int holes = 0;
  for (int y = 2; y < 38; ++y)
    for (int z = 2; z < 38; ++z)
      holes += !d->Space(20, y, z) && d->Space(20, y - 1, z) && d->Space(20, y + 1, z) && d->Space(20, y, z - 1) &&
               d->Space(20, y, z + 1);
  EXPECT_EQ(holes, 0);
  // The corner (y, z) = (10, 10) turns onto the -Z half-axis, 10√2 from the centre.
  EXPECT_EQ(std::tuple(int(d->Space(20, 20, 6)), int(d->Space(20, 20, 5))), std::tuple(1, 0));
}

TEST(ModelOps, RotateRightAnglesKeepDistancesAndTheLastLayer) {
  struct Case {
    SectionAxis axis;
    int c1, c2;
    double theta, sy;
    rv::Cell3 from, to;
    int cells;
  };
  const Case cases[] = {
      // 180° about Y through (x, z) = (5, 5) on a 10-node grid: x = 1 lands on 9 = N-1.
      {SectionAxis::Y, 5, 5, std::numbers::pi, 1, {1, 3, 4}, {9, 3, 6}, 1},
      // dY = 2·dX: 4 cells along +Y from the X axis are 8 cells along +Z after 90°, and
      // the cell, two dX thick, covers two cells along Z.
      {SectionAxis::X, 2, 1, std::numbers::pi / 2, 2, {3, 6, 1}, {3, 2, 9}, 2},
      // Axis Z turns +Y toward +X; its centre fields are X, then Y.
      {SectionAxis::Z, 3, 2, std::numbers::pi / 2, 1, {3, 5, 7}, {6, 2, 7}, 1},
  };
  for (const Case& c : cases) {
    auto d = Grid(10);
    rv::MaterialState m;
    d->Space(c.from[0], c.from[1], c.from[2]) = 1;
    std::string err;
    ASSERT_TRUE(rv::RotateModel(*d, m, {c.axis, c.c1, c.c2, c.sy, 1}, c.theta, err));
    EXPECT_EQ(std::tuple(int(d->Space(c.to[0], c.to[1], c.to[2])), Occupied(*d)), std::tuple(1, c.cells))
        << c.to[0] << c.to[1] << c.to[2];
  }
  // A quarter turn of a cubic block adds no cell.
  auto d = Grid(12);
  rv::MaterialState m;
  Box(*d, {5, 3, 4}, {5, 8, 6}, 1);
  std::string err;
  ASSERT_TRUE(rv::RotateModel(*d, m, {SectionAxis::X, 6, 6}, std::numbers::pi / 2, err));
  EXPECT_EQ(Occupied(*d), 18);
}

TEST(ModelOps, RevolutionClosesLargeRings) {
  const int N = 130, c = 65, r = 60, x0 = 7;
  auto d = Grid(N);
  rv::MaterialState m;
  d->Space(x0, c + r, c) = 1;  // on the ring
  d->Space(x0, c, c) = 3;      // on the axis
  d->Space(x0 + 1, c + 5, c) = 2;
  d->Layers[2].On = 0;  // switched off: not swept
  // Section ⊥Z at z = c, the selection covering x0..x0+1 and y = c..c+r.
  const rv::SectionView v = Section(SectionAxis::Z, c, N);
  const rv::GridRect sel{x0 - 1, v.RowCount - c, x0, v.RowCount - (c + r)};
  std::string err;
  ASSERT_TRUE(rv::RevolveSelection(*d, m, v, sel, {SectionAxis::X, c, c}, err));
  int missed = 0;
  for (int y = 1; y < N; ++y)
    for (int z = 1; z < N; ++z)
      if (std::fabs(std::hypot(y - c, z - c) - r) <= 0.2) missed += d->Space(x0, y, z) != 1;
  EXPECT_EQ(missed, 0);
  EXPECT_EQ(std::tuple(int(d->Space(x0, c, c)), int(d->Space(x0 + 1, c - 5, c)), int(d->Space(x0 + 1, c + 5, c))),
            std::tuple(3, 0, 2));
  // A stale rectangle larger than the grid is clipped.
  ASSERT_TRUE(rv::RevolveSelection(*d, m, v, {-50, -50, 5000, 5000}, {SectionAxis::X, c, c}, err));
}

TEST(ModelOps, TurnsRefuseWithoutTheirTemporaries) {
  RVTEST_NEEDS_ALLOC_FAIL();
  auto d = Grid(12);
  rv::MaterialState m;
  d->Space(5, 5, 5) = 1;
  const rv::SectionView v = Section(SectionAxis::Z, 5, 12);
  for (int n : {1, 2, 3}) {
    bool done = true;
    std::string err;
    EXPECT_TRUE(rvtest::FailAllocation(n, [&] {
      done = n < 3 ? rv::RotateModel(*d, m, {SectionAxis::X, 6, 6}, 1.0, err)
                   : rv::RevolveSelection(*d, m, v, {0, 0, 10, 10}, {SectionAxis::X, 6, 6}, err);
    }));
    EXPECT_EQ(std::tuple(done, err, m.UndoReady, int(d->Space(5, 5, 5)), Occupied(*d)),
              std::tuple(false, rv::NoMemoryText, false, 1, 1)) << n;
  }
}

}  // namespace

namespace {

// Every writer of the cells or of the switches counts its change, so a view that keeps faces
// built from the model knows when to build them again.
TEST(ModelOps, EveryWriterOfTheModelCountsItsChange) {
  auto d = Grid(12);
  rv::MaterialState m;
  m.LayerCount = 3;
  d->Space(5, 5, 5) = 1, d->Space(6, 6, 6) = 3;
  const rv::SectionView v = Section(SectionAxis::Z, 5, 12);
  const rv::GridRect all{0, 0, 10, 10};
  std::string err;
  rv::CellPlan plan;
  plan.RowX = plan.RowY = 1;
  plan.Runs = {{1, 1}};
  rv::DxfPlan dxf;
  dxf.LayerNames = {"", "a"};
  dxf.LayerMaterial = {0, 1};
  dxf.Lines.push_back({{rv::Point3{0, 0, 0}, rv::Point3{0.003, 0, 0}}, 1});
  std::vector<std::string> report;
  const std::vector<std::pair<const char*, std::function<void()>>> writers = {
      {"delete selected", [&] { rv::DeleteSelected(*d, m, v, {4, 4, 6, 6}); }},
      {"undo", [&] { ASSERT_TRUE(rv::RestoreUndo(*d, m)); }},
      {"clone", [&] { ASSERT_TRUE(rv::CloneSelection(*d, m, v, all, {})); }},
      {"move", [&] { ASSERT_TRUE(rv::MoveModel(*d, m, 1, 0, 0, err)); }},
      {"rotate", [&] { ASSERT_TRUE(rv::RotateModel(*d, m, {SectionAxis::Z, 6, 6}, 1, err)); }},
      {"revolve", [&] { ASSERT_TRUE(rv::RevolveSelection(*d, m, v, all, {SectionAxis::X, 6, 6}, err)); }},
      {"parabola", [&] { EXPECT_GT(rv::DrawParabola(*d, 6, 6, 3, 2, 6, false, 1), 0); }},
      {"object", [&] { rv::ApplyCellPlan(plan, 2, 2, 2, *d, m); }},
      {"points", [&] { rv::ApplyPointList({{3, 3, 3, 1}}, *d, m); }},
      {"delete unused", [&] { EXPECT_GT(rv::DeleteUnusedLayers(*d, m), 0); }},
      {"drawing", [&] { ASSERT_TRUE(rv::PlaceDxf(dxf, 1, {0.001, 0.001, 0.001, 12, 12, 12, 1}, *d, m, report, err)) << err; }},
      {"delete material", [&] { m.LayerCount = 2, m.CurLayer = 2; ASSERT_TRUE(rv::DeleteCurrentLayer(*d, m)); }},
      {"delete all", [&] { rv::DeleteAll(*d); }},
      {"grid grows", [&] { rv::SetGridSize(*d, 14, 12, 12); ASSERT_TRUE(rv::ResizeSpace(*d)); }},
  };
  for (const auto& [name, write] : writers) {
    const uint64_t before = d->ModelVersion;
    write();
    EXPECT_GT(d->ModelVersion, before) << name;
  }
}

}  // namespace
