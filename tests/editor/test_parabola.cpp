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
  // y outside 1..99 is left alone.
  EXPECT_EQ(std::tuple(Count(p, 5), p.Space(45, 50, 5), p.Space(44, 50, 5), m.Space(55, 50, 5), p.Space(50, 0, 5) + p.Space(50, 100, 5)),
            std::tuple(119, 3, 0, 3, 0));
  int unmirrored = 0;
  for (int x = 1; x < 100; ++x)
    for (int y = 0; y <= 100; ++y) unmirrored += p.Space(x, y, 5) != m.Space(100 - x, y, 5);
  EXPECT_EQ(unmirrored, 0);
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
