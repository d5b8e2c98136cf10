#include <gtest/gtest.h>

#include "editor/symbols3d.h"

using namespace rv;

TEST(Symbols3d, ShapesFollowTheEdgeAndBadRecordsDrawNothing) {
  ElementArrays a;
  a.OutputPoints = {{}, {}};
  a.OutputPoints[1].X = 2, a.OutputPoints[1].Y = 3, a.OutputPoints[1].Z = 4;
  a.VoltageSources.resize(2);
  a.VoltageSources[0] = {};
  a.VoltageSources[0].X = 5; a.VoltageSources[0].Y = 6; a.VoltageSources[0].Z = 7;
  a.VoltageSources[0].Dir = 'Z';
  a.VoltageSources[1].Dir = 'Q';  // no direction: nothing
  a.Resistors = {{1, 1, 1, 'Y', 50}};
  a.Capacitors = {{0, 1, 1, 'X', 1e-12}};  // cell 0: skipped
  a.Inductors.resize(1);
  a.Inductors[0].X = a.Inductors[0].Y = a.Inductors[0].Z = 1;
  a.Inductors[0].Dir = 'X';
  const auto s = ElementSymbols(a, 1, 2, 0.5);
  ASSERT_EQ(s.size(), 5u);  // point box, source lines and base, resistor, inductor
  // The half-size cube in the middle of the cell, scaled per axis.
  using V = std::array<float, 3>;
  EXPECT_EQ(std::tuple(s[0].kind, s[0].v[0], s[0].v[1]), std::tuple(SymbolPrim::Box, V{2.25f, 6.5f, 2.125f}, V{0.5f, 1.0f, 0.25f}));
  // The source's edge runs one cell along Z; its tip is two thirds along; base across X, Y.
  EXPECT_EQ(std::tuple(s[1].v[0], s[1].v[1]), std::tuple(V{5, 12, 3.5f}, V{5, 12, 4}));
  EXPECT_FLOAT_EQ(s[1].v[3][2], float((7 + 2.0 / 3) * 0.5));
  EXPECT_FLOAT_EQ(s[2].v[0][0], float(5 + 1.0 / 7));
  // The resistor along Y draws its body across X.
  EXPECT_FLOAT_EQ(s[3].v[4][0], 1.2f);
  EXPECT_FLOAT_EQ(s[3].v[4][1], 2.6f);
  EXPECT_EQ(std::tuple(s[4].smooth, s[4].v.size()), std::tuple(true, 8u));
  EXPECT_FLOAT_EQ(s[4].v[2][1], 2 * 1.4f);
}
