// The flood fills against a breadth-first reference, the rasterisers and the parabola.

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>

#include "editor/fills.h"
#include "editor/parabola.h"
#include "editor/raster.h"
#include "testgrid.h"

namespace {

using rv::Cell3;
using rv::tSpace;

// Breadth-first fill of the region of the seed's material, 6-connected or, with an axis to
// skip, 4-connected in the plane across it.
void Reference(tSpace& s, const std::array<int, 3>& n, Cell3 seed, uint8_t to, int skipAxis) {
  const uint8_t from = s(seed[0], seed[1], seed[2]);
  if (from == to) return;
  std::deque<Cell3> q{seed};
  s(seed[0], seed[1], seed[2]) = to;
  for (; !q.empty(); q.pop_front())
    for (size_t a = 0; a < 3; ++a)
      for (int d : {-1, 1}) {
        Cell3 e = q.front();
        e[a] += d;
        if (int(a) == skipAxis || e[a] < 1 || e[a] > n[a] || s(e[0], e[1], e[2]) != from) continue;
        s(e[0], e[1], e[2]) = to;
        q.push_back(e);
      }
}

TEST(Fills, EqualABreadthFirstFillOnRandomModels) {
  std::mt19937 rng(11);
  for (int t = 0; t < 200; ++t) {
    const int nx = 3 + int(rng() % 12), ny = 3 + int(rng() % 12), nz = 3 + int(rng() % 12);
    tSpace s;
    ASSERT_TRUE(s.allocate(nx + 1, ny + 1, nz + 1));
    const int fill = 20 + int(rng() % 60);
    for (int x = 1; x < nx; ++x)
      for (int y = 1; y < ny; ++y)
        for (int z = 1; z < nz; ++z) s(x, y, z) = int(rng() % 100) < fill ? uint8_t(1 + rng() % 3) : 0;
    const uint8_t to = uint8_t(1 + rng() % 3);
    tSpace ref = s;
    if (t % 2) {
      const Cell3 seed{1 + int(rng() % unsigned(nx - 1)), 1 + int(rng() % unsigned(ny - 1)),
                       1 + int(rng() % unsigned(nz - 1))};
      rv::FillVolume(s, nx, ny, nz, seed, to);
      Reference(ref, {nx - 1, ny - 1, nz - 1}, seed, to, -1);
    } else {
      rv::SectionView v;
      v.Axis = rv::SectionAxis(rng() % 3);
      v.SliceX = 1 + int(rng() % unsigned(nx - 1));
      v.SliceY = 1 + int(rng() % unsigned(ny - 1));
      v.SliceZ = 1 + int(rng() % unsigned(nz - 1));
      v.SizeFor(nx, ny, nz);
      const int col = int(rng() % unsigned(v.ColCount)), row = int(rng() % unsigned(v.RowCount));
      rv::FillSection(s, v, col, row, to);
      Reference(ref, {nx - 1, ny - 1, nz - 1}, rv::SliceCellToModel(v, col, row, 0), to, int(v.Axis));
    }
    ASSERT_EQ(std::memcmp(s.data(), ref.data(), s.size()), 0) << "model " << t;
  }
}

TEST(Fills, CornerTouchingRegionsAndTheSameMaterial) {
  tSpace s;
  ASSERT_TRUE(s.allocate(6, 6, 4));
  // Two squares of material 2 in plane z = 1 touching at a corner.
  for (int x : {1, 2}) for (int y : {1, 2}) s(x, y, 1) = 2;
  for (int x : {3, 4}) for (int y : {3, 4}) s(x, y, 1) = 2;
  rv::SectionView v;
  v.Axis = rv::SectionAxis::Z;
  v.SliceZ = 1;
  v.SizeFor(5, 5, 3);
  // Grid row 3 is y = 1; a second fill finds the material already there; (5,5,1) lies
  // outside the cells.
  const int first = rv::FillSection(s, v, 0, 3, 3);
  EXPECT_EQ(std::tuple(first, s(3, 3, 1), rv::FillSection(s, v, 0, 3, 3)), std::tuple(4, 2, 0));
  const int volume = rv::FillVolume(s, 5, 5, 3, {3, 3, 1}, 3);
  EXPECT_EQ(std::tuple(volume, rv::FillVolume(s, 5, 5, 3, {5, 5, 1}, 3)), std::tuple(4, 0));
}

rv::RasterTarget Target(tSpace& s, int n, double size) {
  s.allocate(n + 1, n + 1, n + 1);
  rv::RasterTarget t;
  t.Space = &s;
  t.Nx = t.Ny = t.Nz = n;
  t.dX = t.dY = t.dZ = size;
  t.OX = t.OY = t.OZ = 1;
  t.Material = 7;
  return t;
}

int Count(const tSpace& s) { return int(s.size() - size_t(std::count(s.data(), s.data() + s.size(), 0))); }

TEST(Raster, SegmentsEndOnWholeStepsAndBadInputIsRefused) {
  struct Case { double size, from, to; int first, last; };
  const Case cases[] = {{0.001, 0, 0.005, 1, 6}, {0.01, 0, 0.29, 1, 30}, {1, 0.2, 0.8, 0, -1}, {1, 0.2, 1.3, 2, 2}};
  for (const Case& c : cases) {
    tSpace s;
    const rv::RasterTarget t = Target(s, 40, c.size);
    ASSERT_TRUE(rv::RasterizeLine(t, {c.from, 0, 0}, {c.to, 0, 0}));
    EXPECT_EQ(Count(s), c.last < c.first ? 0 : c.last - c.first + 1) << c.to;
    for (int x = c.first; x <= c.last; ++x) EXPECT_EQ(s(x, 1, 1), 7) << c.to << " x=" << x;
  }
  tSpace s;
  rv::RasterTarget t = Target(s, 10, 1);
  EXPECT_TRUE(rv::RasterizeLine(t, {2, 2, 2}, {2, 2, 2}));  // a point: nothing
  t.dX = 0;
  const bool zeroCell = rv::RasterizeLine(t, {0, 0, 0}, {3, 0, 0});
  t.dX = NAN;
  const bool nanCell = rv::RasterizeTriangle(t, {0, 0, 0}, {3, 0, 0}, {0, 3, 0});
  t.dX = 1;
  EXPECT_FALSE(zeroCell || nanCell || rv::RasterizeLine(t, {0, 0, 0}, {INFINITY, 0, 0}) ||
               rv::RasterizeTriangle(t, {0, 0, 0}, {NAN, 0, 0}, {0, 3, 0}));
  EXPECT_EQ(Count(s), 0);
  // Clipped to the cells, the rest still drawn.
  EXPECT_TRUE(rv::RasterizeLine(t, {-5, 0, 0}, {1e9, 0, 0}));
  EXPECT_EQ(Count(s), 9);
}

TEST(Raster, TriangleAndQuadFillTheirCells) {
  tSpace s;
  const rv::RasterTarget t = Target(s, 30, 1);
  ASSERT_TRUE(rv::RasterizeTriangle(t, {0, 0, 0}, {20, 0, 0}, {0, 20, 0}));
  int wrong = 0;
  for (int x = 1; x < 30; ++x)
    for (int y = 1; y < 30; ++y)
      for (int z = 1; z < 30; ++z) wrong += (s(x, y, z) != 0) != (z == 1 && x + y <= 22);
  EXPECT_EQ(std::tuple(wrong, Count(s)), std::tuple(0, 231));
  // A square face: the same cells whichever diagonal splits it.
  tSpace q;
  const rv::RasterTarget u = Target(q, 30, 1);
  ASSERT_TRUE(rv::RasterizeQuad(u, {0, 0, 3}, {10, 0, 3}, {10, 10, 3}, {0, 10, 3}));
  EXPECT_EQ(Count(q), 121);
}

TEST(Parabola, VertexMirrorAndBounds) {
  auto p = Grid(100, 100, 10), m = Grid(100, 100, 10);
  rv::DrawParabola(*p, 50, 50, 5, 5, 100, false, 3);
  rv::DrawParabola(*m, 50, 50, 5, 5, 100, true, 3);
  // y outside 1..99 is left alone.
  EXPECT_EQ(std::tuple(Occupied(*p), p->Space(45, 50, 5), p->Space(44, 50, 5), m->Space(55, 50, 5),
                       p->Space(50, 0, 5) + p->Space(50, 100, 5)),
            std::tuple(119, 3, 0, 3, 0));
  // Mirrored about the vertex's column; every cell lies on x = y^2/4F + vertex within half a
  // cell along the curve.
  for (int x = 1; x < 100; ++x)
    for (int y = 0; y <= 100; ++y) {
      ASSERT_EQ(p->Space(x, y, 5), m->Space(100 - x, y, 5)) << x << ',' << y;
      const double dy = y - 50, dx = x - 45;
      if (p->Space(x, y, 5)) {
        EXPECT_LT(std::min(std::abs(dx - dy * dy / 20), std::abs(std::sqrt(std::max(0.0, 20 * dx)) - std::abs(dy))), 0.51);
      }
    }
  // Outside the model's planes nothing is written.
  EXPECT_EQ(rv::DrawParabola(*p, 50, 50, 10, 5, 100, false, 3), 0);
}

}  // namespace
