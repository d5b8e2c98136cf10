#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "editor/parabola.h"

using namespace rv;

namespace {
void Grid(SolverData& d) {
  SetGridSize(d, 100, 100, 10);
  ASSERT_TRUE(ResizeSpace(d));
}
int Count(const SolverData& d, int z) {
  int n = 0;
  for (int x = 0; x <= 100; ++x)
    for (int y = 0; y <= 100; ++y) n += d.Space(x, y, z) != 0;
  return n;
}
}  // namespace

TEST(Parabola, VertexMirrorAndBounds) {
  SolverData p, m;
  Grid(p);
  Grid(m);
  DrawParabola(p, 50, 50, 5, 5, 100, false, 3);
  DrawParabola(m, 50, 50, 5, 5, 100, true, 3);
  EXPECT_EQ(Count(p, 5), 119);
  EXPECT_EQ(p.Space(45, 50, 5), 3);
  EXPECT_EQ(p.Space(44, 50, 5), 0);
  EXPECT_EQ(m.Space(55, 50, 5), 3);
  for (int x = 1; x < 100; ++x)
    for (int y = 0; y <= 100; ++y) EXPECT_EQ(p.Space(x, y, 5), m.Space(100 - x, y, 5));
  EXPECT_EQ(p.Space(50, 0, 5) + p.Space(50, 100, 5), 0);  // y outside 1..99 is left alone
  // Every cell lies on the parabola x = y^2/4F + vertex within half a cell along the curve.
  for (int x = 1; x < 100; ++x)
    for (int y = 1; y < 100; ++y)
      if (p.Space(x, y, 5)) {
        const double dy = y - 50, dx = x - 45;
        EXPECT_LT(std::min(std::abs(dx - dy * dy / 20), std::abs(std::sqrt(std::max(0.0, 20 * dx)) -
                                                                 std::abs(dy))), 0.51);
      }
  // Outside the model's planes nothing is written.
  EXPECT_EQ(DrawParabola(p, 50, 50, 10, 5, 100, false, 3), 0);
}
