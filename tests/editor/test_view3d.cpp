// The 3-D view's camera, the runs and faces drawn of the model, and its texts.

#include <cmath>
#include <numbers>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "editor/view3d.h"
#include "testgrid.h"

using namespace rv;

constexpr double Pi = std::numbers::pi;

TEST(View3dCamera, InitialViewSpeedsAndMoves) {
  Camera c = InitialCamera(100, 100, 100);
  EXPECT_EQ(std::tuple(c.EyeZ, c.CenterZ, c.EyeX, c.CenterY), std::tuple(300, 290, 50, 50));
  struct { bool shift, ctrl; float move; } speeds[] = {
      {false, false, 10}, {true, false, 1}, {false, true, 100}, {true, true, 100}};
  for (auto s : speeds) {
    Camera m = c;
    MoveCamera(m, CameraKey::Forward, SpeedsFor(s.shift, s.ctrl).MoveStep, 10);
    EXPECT_FLOAT_EQ(m.EyeZ, 300 - s.move);
    EXPECT_FLOAT_EQ(m.CenterZ, 290 - s.move);
  }
  // Ctrl+Left turns 20 degrees to the left about the eye, keeping the distance.
  Camera t = c;
  MoveCamera(t, CameraKey::TurnLeft, 100, SpeedsFor(false, true).TiltStep);
  EXPECT_NEAR(std::hypot(t.CenterX - t.EyeX, t.CenterZ - t.EyeZ), 10, 1e-4);
  EXPECT_NEAR(std::atan2(t.EyeX - t.CenterX, t.EyeZ - t.CenterZ) * 180 / Pi, 20, 1e-3);
  EXPECT_LT(t.CenterX, t.EyeX);
  // End then Delete: the view looks down by the tilt step.
  Camera e = c;
  e.CenterY = 70;
  MoveCamera(e, CameraKey::Level, 10, 10);
  MoveCamera(e, CameraKey::TiltDown, 10, 10);
  EXPECT_NEAR(std::atan2(e.CenterY - e.EyeY, 10) * 180 / Pi, -10, 1e-4);
  // Tilting stops short of the vertical.
  for (int i = 0; i < 20; ++i) MoveCamera(e, CameraKey::TiltUp, 10, 10);
  EXPECT_NEAR(std::atan2(e.CenterY - e.EyeY, 10) * 180 / Pi, 89, 1e-3);
}

TEST(View3dCamera, EyeOnTheRotationAxisStaysFinite) {
  // 25 steps forward put the eye 50 cells past the centre of rotation's far side;
  // rotation then brings eye and centre onto one point.
  Camera c = InitialCamera(100, 100, 100);
  for (int i = 0; i < 25; ++i) MoveCamera(c, CameraKey::Forward, 10, 10);
  RotateCamera(c, 100, 100, 0.2);
  EXPECT_EQ(std::tuple(c.EyeZ, c.CenterZ), std::tuple(50, 50));
  for (CameraKey k : {CameraKey::TurnLeft, CameraKey::TiltDown, CameraKey::Level,
                      CameraKey::Forward, CameraKey::StepLeft, CameraKey::TurnRight})
    MoveCamera(c, k, 10, 10);
  RotateCamera(c, 100, 100, 0.2);
  for (float v : {c.EyeX, c.EyeY, c.EyeZ, c.CenterX, c.CenterY, c.CenterZ})
    EXPECT_TRUE(std::isfinite(v));
  // The far plane reaches past the whole box from the reset view of a deep grid.
  const Camera deep = InitialCamera(100, 100, 900);
  EXPECT_GT(FarPlane(2000, deep, 100, 100, 900), 2700);
  EXPECT_EQ(FarPlane(2000, InitialCamera(10, 10, 10), 10, 10, 10), 2000);
}

// The initial view of flat, tall and cubic grids, in wide and tall views and with unequal
// cells: where the rule's camera shows the domain box's corners and the section plane's far
// corner with room for the axis names it stays; elsewhere it goes back along the same line
// until they all do, and not much farther. The names, 14 pixels high whatever the grid, lie
// in the view beyond their axes' ends and apart from each other.
TEST(View3dCamera, TheInitialViewShowsTheWholeBoxAndItsLabels) {
  struct Case { int nx, ny, nz; double sy, sz; bool ruleShowsAll; };
  const Case cases[] = {{50, 50, 50, 1, 1, true},  {40, 60, 80, 1, 1, true}, {30, 30, 300, 1, 1, true},
                        {80, 60, 40, 1, 1, false}, {80, 80, 30, 1, 1, false}, {200, 20, 5, 1, 1, false},
                        {40, 40, 40, 4, 0.25, false}, {40, 40, 40, 1, 10, false}, {200, 200, 10, 1, 1, false},
                        {300, 20, 20, 1, 1, false}, {20, 20, 300, 1, 1, true}, {2, 2, 2, 1, 1, true}};
  const double px = 14, room = LabelRoom(px);
  for (const auto& [w, h] : {std::pair(700, 500), std::pair(420, 640)})
    for (const Case& k : cases) {
      const ViewFrame f{w, h, 1, k.sy, k.sz, k.nx, k.ny, k.nz, px};
      const double X = k.nx, Y = k.ny * k.sy, Z = k.nz * k.sz;
      // The box from (1, 1, 1), the section plane on it and the arrowheads across the axes.
      const double lo = 1 - std::min(1.0, (std::min({X, Y, Z}) - 1) / 8);
      std::vector<std::array<double, 3>> drawn;
      for (int i = 0; i < 8; ++i) drawn.push_back({i & 1 ? X : lo, i & 2 ? Y : lo, i & 4 ? Z : lo});
      const auto shows = [&](const Camera& c) { return ShowsPoints(ViewTransformFor(c, f), drawn, room); };
      const std::string what = std::to_string(k.nx) + "x" + std::to_string(k.ny) + "x" + std::to_string(k.nz) +
                               " in " + std::to_string(w) + "x" + std::to_string(h);
      const Camera rule = InitialCamera(k.nx, k.ny, k.nz), c = BackedOffToShowAll(rule, f);
      EXPECT_TRUE(shows(c)) << what;
      if (w == 700) {
        EXPECT_EQ(shows(rule), k.ruleShowsAll) << what;
      }
      EXPECT_TRUE(!shows(rule) || c.EyeZ == rule.EyeZ) << what;
      EXPECT_EQ(std::tuple(c.EyeX, c.EyeY, c.CenterX, c.CenterY, c.EyeZ - c.CenterZ),
                std::tuple(rule.EyeX, rule.EyeY, rule.CenterX, rule.CenterY, 10.0f)) << what;
      EXPECT_GE(c.EyeZ, rule.EyeZ) << what;
      // A tenth of the way closer to the box's middle cuts something off.
      Camera nearer = c;
      MoveCamera(nearer, CameraKey::Forward, float((c.EyeZ - Z / 2) / 10), 0);
      EXPECT_TRUE(c.EyeZ == rule.EyeZ || !shows(nearer)) << what;

      const auto labels = PlaceAxisLabels(ViewTransformFor(c, f), f);
      for (int i = 0; i < 3; ++i) {
        const AxisLabel& a = labels[size_t(i)];
        EXPECT_TRUE(a.Shown && 2 * a.HalfH >= px && a.X - a.HalfW >= 3 && a.X + a.HalfW <= w - 3 &&
                    a.Y - a.HalfH >= 3 && a.Y + a.HalfH <= h - 3)
            << what << " " << a.Letter << " at " << a.X << "," << a.Y;
        for (const AxisLabel& b : std::span(labels).subspan(size_t(i) + 1))
          EXPECT_TRUE(std::abs(a.X - b.X) >= a.HalfW + b.HalfW || std::abs(a.Y - b.Y) >= a.HalfH + b.HalfH)
              << what << a.Letter << b.Letter;
      }
    }
  EXPECT_TRUE(IsInitialCamera(InitialCamera(80, 80, 30), 80, 80, 30));
  EXPECT_FALSE(IsInitialCamera(BackedOffToShowAll(InitialCamera(80, 80, 30), {700, 500, 1, 1, 1, 80, 80, 30}), 80, 80, 30));
  // An axis seen end-on still gets its name beside its end.
  const ViewFrame f{500, 500, 1, 1, 1, 40, 40, 40, px};
  const auto endOn = PlaceAxisLabels(ViewTransformFor({1, 1, 200, 1, 1, 190}, f), f);
  EXPECT_TRUE(endOn[2].Shown && endOn[2].X < 250 && endOn[2].Y < 250);
}

// On a box of a few cells an arrowhead is at most an eighth of the box's shortest side (one
// cell on a large box) and the section plane spans the box exactly, through its layer's cell
// centres; all the view draws keeps to the box and the arrowheads.
TEST(View3dAxes, ArrowheadsAndSectionPlaneKeepToTheBox) {
  struct Case { int nx, ny, nz; double sy, sz, arrow; };
  for (const Case& k : {Case{3, 50, 3, 1, 1, 0.25}, Case{2, 2, 2, 1, 1, 0.125}, Case{3, 3, 3, 0.5, 1, 0.0625},
                        Case{100, 110, 50, 1, 2, 1}}) {
    const ViewFrame f{700, 500, 1, k.sy, k.sz, k.nx, k.ny, k.nz, 14};
    const std::array<double, 3> end = {double(k.nx), k.ny * k.sy, k.nz * k.sz}, scale = {1, k.sy, k.sz};
    SCOPED_TRACE(std::to_string(k.nx) + "x" + std::to_string(k.ny) + "x" + std::to_string(k.nz));
    EXPECT_DOUBLE_EQ(ArrowSize(f), k.arrow);
    for (size_t axis = 0; axis < 3; ++axis) {
      const auto q = SectionQuad(f, int(axis), 1);
      for (size_t i = 0; i < 3; ++i) {
        const auto [lo, hi] = std::minmax({q[0][i], q[1][i], q[2][i], q[3][i]});
        EXPECT_EQ(std::pair(lo, hi), i == axis ? std::pair(1.5 * scale[i], 1.5 * scale[i]) : std::pair(1.0, end[i])) << axis;
      }
    }
    for (const auto& p : DrawnOutline(f))
      for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(p[i] >= 1 - k.arrow && p[i] <= std::max(end[i], 1 + k.arrow));
  }
}

TEST(View3dRuns, ColumnsSplitOnlyAtMaterialChanges) {
  auto g = Grid(4, 6, 4);
  SolverData& d = *g;
  for (int y = 1; y < 6; ++y) d.Space(1, y, 1) = 2;            // full column
  d.Space(2, 2, 1) = 1; d.Space(2, 3, 1) = 1; d.Space(2, 5, 1) = 3;  // odd last cell
  d.Space(3, 1, 1) = 1; d.Space(3, 2, 1) = 2;                  // adjacent materials
  const auto runs = CollectRuns(d);
  std::vector<std::tuple<int, int, int>> got;  // first y, length, material
  for (const auto& r : runs) got.emplace_back(r.y0, r.n, r.material);
  EXPECT_EQ(got, (std::vector<std::tuple<int, int, int>>{{1, 5, 2}, {2, 2, 1}, {5, 1, 3}, {1, 1, 1}, {2, 1, 2}}));
}

TEST(View3dMesh, HiddenFacesLeftOutAndSwitchedOffMaterialsVanish) {
  auto g = Grid(6);
  SolverData& d = *g;
  // A 3 x 3 x 3 block of one material shows only its outer surface: 6 faces of 3 x 3 cells.
  Box(d, {1, 1, 1}, {3, 3, 3}, 1);
  CellMesh mesh;
  ASSERT_TRUE(BuildCellMesh(d, mesh));
  double area = 0;
  for (const auto& g : mesh.groups)
    for (size_t q = 0; q < g.verts.size(); q += 12) {
      const int16_t* v = &g.verts[q];
      const double a = std::abs(v[3] - v[0]) + std::abs(v[6] - v[3]);
      const double b = std::abs(v[4] - v[1]) + std::abs(v[7] - v[4]);
      const double c = std::abs(v[5] - v[2]) + std::abs(v[8] - v[5]);
      area += (a == 0 ? b * c : b == 0 ? a * c : a * b);
    }
  EXPECT_EQ(area, 54);
  // A neighbour of a switched-off material does not hide the faces it touches.
  d.Space(4, 2, 2) = 2;
  d.Layers[2].On = 0;
  ASSERT_TRUE(BuildCellMesh(d, mesh));
  size_t quads = mesh.quads();
  for (const auto& g : mesh.groups) EXPECT_EQ(g.material, 1);
  d.Layers[2].On = 1;
  ASSERT_TRUE(BuildCellMesh(d, mesh));
  // The block's x face splits around the new cell, which shows five faces.
  EXPECT_EQ(mesh.quads(), quads + 1 + 5);
}

TEST(View3dText, ScalesAndSnapshotNames) {
  double sx, sy, sz;
  EXPECT_TRUE(ViewScales({"0.01", "0.02", "0.005"}, sx, sy, sz));
  EXPECT_EQ(std::tuple(sy, sz), std::tuple(2.0, 0.5));
  for (std::array<std::string, 3> bad : {std::array<std::string, 3>{"abc", "1", "1"},
                                         {"0", "1", "1"}, {"1", "-1", "1"}, {"1", "1", "inf"}})
    EXPECT_FALSE(ViewScales(bad, sx, sy, sz));
  EXPECT_EQ(std::vector<std::string>({SnapshotName(0), SnapshotName(12), SnapshotName(1234567)}),
            std::vector<std::string>({"Frame3D_____0.bmp", "Frame3D____12.bmp", "Frame3D1234567.bmp"}));
}
