// Section geometry: mapping, zoom, the marks index and the distance text.
#include <gtest/gtest.h>

#include <random>

#include "editor/elementarrays.h"
#include "editor/section.h"

namespace {

using rv::SectionAxis;

TEST(Section, GridCellsMapToModelCells) {
  rv::SectionView s;
  s.Axis = SectionAxis::X;
  s.SliceX = 3;
  s.SizeFor(9, 5, 7);  // rows y 1..4, columns z 1..6
  EXPECT_EQ(std::tuple(s.RowCount, s.ColCount, rv::SliceCellToModel(s, 0, 0, 0), rv::SliceCellToModel(s, 0, 3, 0),
                       rv::SliceCellToModel(s, 5, 3, -1), rv::SliceCellToModel(s, 0, 2, 1)),
            std::tuple(4, 6, rv::Cell3{3, 4, 1}, rv::Cell3{3, 1, 1}, rv::Cell3{2, 1, 6}, rv::Cell3{4, 2, 1}));
  s.Axis = SectionAxis::Y;
  s.SliceY = 2;
  s.SizeFor(9, 5, 7);
  EXPECT_EQ(std::tuple(s.RowCount, rv::SliceCellToModel(s, 1, 0, 0)), std::tuple(6, rv::Cell3{2, 2, 6}));
  s.Axis = SectionAxis::Z;
  s.SliceZ = 5;
  s.SizeFor(9, 5, 7);
  EXPECT_EQ(rv::SliceCellToModel(s, 7, 0, 0), (rv::Cell3{8, 4, 5}));
  // Back to the plane.
  int h, v, w;
  rv::ModelToPlane(s, {8, 4, 5}, h, v, w);
  EXPECT_EQ(std::tuple(h, v, w), std::tuple(8, 4, 5));
}

TEST(Section, ZoomKeepsTheCellShapeAndStops) {
  // Equal cells: square; from 1 x 1 zooming out stays 1 x 1 with the button off.
  rv::CellSides s;
  s = rv::ZoomOut(s, SectionAxis::Z, 1, 1, 1);
  EXPECT_EQ(std::tuple(s.ColWidth, s.CanZoomOut), std::tuple(1, false));
  s = rv::ZoomIn(s, SectionAxis::Z, 1, 1, 1);
  EXPECT_EQ(std::tuple(s.ColWidth, s.RowHeight, s.CanZoomOut), std::tuple(2, 2, true));
  // ⊥Y after ⊥X with sides 6 x 9: 6 drives, the other follows dz/dx.
  s.ColWidth = 6, s.RowHeight = 9;
  s = rv::RederiveSides(s, SectionAxis::Y, 0.001, 0.001, 0.0025);
  EXPECT_EQ(std::tuple(s.ColWidth, s.RowHeight), std::tuple(6, 15));
  // Zoom in stops at a driving side of 256; a derived side stops at 4096.
  for (int i = 0; i < 40; ++i) s = rv::ZoomIn(s, SectionAxis::Y, 0.001, 0.001, 0.1);
  EXPECT_EQ(std::tuple(s.ColWidth, s.RowHeight, s.CanZoomIn), std::tuple(rv::MaxDrivingSide, rv::MaxDerivedSide, false));
  s = rv::ZoomOut(s, SectionAxis::Y, 0.001, 0.001, 0.1);
  EXPECT_EQ(std::tuple(s.ColWidth, s.CanZoomIn), std::tuple(128, true));
  // Halves round to even.
  s.ColWidth = s.RowHeight = 4;
  s = rv::RederiveSides(s, SectionAxis::Z, 1, 1.125, 1);  // 4 * 1.125 = 4.5 -> 4
  EXPECT_EQ(s.RowHeight, 4);
}

// The index tells the same as the per-cell scans of the arrays.
TEST(Section, MarksIndexEqualsTheScans) {
  std::mt19937 rng(3);
  auto c = [&] { return int(rng() % 8); };
  const char dirs[] = {'X', 'Y', 'Z', 0};
  for (int t = 0; t < 30; ++t) {
    rv::ElementArrays a;
    for (int i = 0; i < 6; ++i) {
      a.Resistors.push_back({c(), c(), c(), dirs[rng() % 4], 1});
      a.SparkGaps.push_back({c(), c(), c(), 1, dirs[rng() % 4], 0});
      a.OutputPoints.push_back({c(), c(), c(), "EIJ"[rng() % 3], dirs[rng() % 4], ""});
      rv::tCurrentRegion r{c(), c(), c(), c(), c(), c(), 0, ""};
      r.Plane = "XYZ"[rng() % 3];
      a.CurrentRegions.push_back(r);
      a.VoltageLines.push_back({c(), c(), c(), c(), c(), c(), 0, ""});
    }
    rv::SectionView s;
    s.Axis = SectionAxis(rng() % 3);
    s.SliceX = s.SliceY = s.SliceZ = 1 + c();
    s.SizeFor(9, 9, 9);
    rv::SectionMarks m;
    m.Build(a, s);
    for (int col = 0; col < s.ColCount; ++col)
      for (int row = 0; row < s.RowCount; ++row) {
        const rv::Cell3 p = rv::SliceCellToModel(s, col, row, 0);
        int h, v, w;
        rv::ModelToPlane(s, p, h, v, w);
        const rv::SectionMarks::Marks* k = m.At(h, v);
        EXPECT_EQ(k ? k->RegionEdges : 0, rv::CurrentRegionEdges(a, s, p));
        EXPECT_EQ(k ? k->VoltageMask : 0, rv::VoltageLineMask(a, s, p));
        EXPECT_EQ(k && k->CurrentMark, rv::OutputMarkAt(a, s.Axis, p));
        int idx = -1;
        const bool found = rv::FindResistorAt(a, p[0], p[1], p[2], idx);
        const char dir = found ? a.Resistors[size_t(idx)].Dir : 0;
        EXPECT_EQ(k ? k->Dir[rv::GlyphResistor] : 0, found && !dir ? '?' : dir);  // the first record's
      }
  }
}

TEST(Section, DistanceText) {
  EXPECT_EQ(rv::DistanceText({5, 5, 5}, {7, 5, 5}, 0.001, 0.001, 0.001),
            "Выбрана ячейка 5, 5, 5. Длина 0.003, 0, 0 = 0.003 м");
  EXPECT_EQ(rv::DistanceText({5, 5, 5}, {5, 5, 5}, 0.001, 0.002, 0.003),
            "Выбрана ячейка 5, 5, 5. Длина 0, 0, 0 = 0 м");
  EXPECT_EQ(rv::DistanceText({5, 5, 5}, {2, 9, 5}, 1, 1, 1), "Выбрана ячейка 5, 5, 5. Длина -4, 5, 0 = 6.403124 м");
}

}  // namespace
