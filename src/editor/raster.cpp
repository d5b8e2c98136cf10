#include "editor/raster.h"

#include <algorithm>
#include <cmath>

#include "solver/numtext.h"

namespace rv {

namespace {

constexpr double Tolerance = 1e-9;  // of a step
// Walker steps of one triangle sweep beyond which the shape is refused: far more than any
// grid's cells along a line.
constexpr double MaxSteps = 1e7;

bool Finite(const Point3& p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

double Size(const RasterTarget& t, int axis) { return axis == 0 ? t.dX : axis == 1 ? t.dY : t.dZ; }

void Put(const RasterTarget& t, const Point3& p) {
  const int o[3] = {t.OX, t.OY, t.OZ};
  const int n[3] = {std::min(t.Nx, t.Space->len1()), std::min(t.Ny, t.Space->len2()),
                    std::min(t.Nz, t.Space->len3())};
  int c[3];
  for (int a = 0; a < 3; ++a) {
    long long r = 0;
    if (!TryRound(p[size_t(a)] / Size(t, a), r)) return;
    r += o[a];
    if (r < 1 || r > n[a] - 1) return;
    c[a] = int(r);
  }
  (*t.Space)(c[0], c[1], c[2]) = t.Material;
}

// The range of sample indices i along `axis` whose cells can fall inside the grid.
void GridSampleRange(const RasterTarget& t, int axis, double step, double& lo, double& hi) {
  const int o = axis == 0 ? t.OX : axis == 1 ? t.OY : t.OZ;
  const int n = axis == 0 ? t.Nx : axis == 1 ? t.Ny : t.Nz;
  const double s = Size(t, axis);
  lo = std::floor((double(1 - o) - 0.5) * s / step) - 1;
  hi = std::ceil((double(n - 1 - o) + 0.5) * s / step) + 1;
}

}  // namespace

bool RasterTarget::Valid() const {
  auto ok = [](double v) { return std::isfinite(v) && v > 0; };
  return Space && ok(dX) && ok(dY) && ok(dZ) && Divisor >= 1;
}

bool RasterizeLine(const RasterTarget& t, const Point3& p1, const Point3& p2) {
  if (!t.Valid() || !Finite(p1) || !Finite(p2)) return false;
  const double d[3] = {std::fabs(p2[0] - p1[0]), std::fabs(p2[1] - p1[1]), std::fabs(p2[2] - p1[2])};
  const double dmax = std::max({d[0], d[1], d[2]});
  if (dmax == 0) return true;
  for (int a = 0; a < 3; ++a) {
    if (d[a] != dmax) continue;
    const double step = Size(t, a) / t.Divisor;
    const double lo = std::min(p1[size_t(a)], p2[size_t(a)]), hi = std::max(p1[size_t(a)], p2[size_t(a)]);
    double i0 = std::ceil(lo / step - Tolerance), i1 = std::floor(hi / step + Tolerance);
    double g0 = 0, g1 = 0;
    GridSampleRange(t, a, step, g0, g1);
    i0 = std::max(i0, g0), i1 = std::min(i1, g1);
    for (double i = i0; i <= i1; ++i) {
      const double s = i * step;
      const double f = std::clamp((s - p1[size_t(a)]) / (p2[size_t(a)] - p1[size_t(a)]), 0.0, 1.0);
      Point3 p;
      for (int b = 0; b < 3; ++b) p[size_t(b)] = b == a ? s : p1[size_t(b)] + f * (p2[size_t(b)] - p1[size_t(b)]);
      Put(t, p);
    }
  }
  return true;
}

Point3 StepPointToward(const RasterTarget& t, const Point3& p, const Point3& q) {
  const double d[3] = {std::fabs(q[0] - p[0]), std::fabs(q[1] - p[1]), std::fabs(q[2] - p[2])};
  const int a = d[0] >= d[1] && d[0] >= d[2] ? 0 : d[1] >= d[0] && d[1] >= d[2] ? 1 : 2;
  const double step = Size(t, a) / t.Divisor;
  if (!(d[a] >= step)) return p;
  const double f = step / d[a];
  Point3 r;
  for (int b = 0; b < 3; ++b) r[size_t(b)] = p[size_t(b)] + f * (q[size_t(b)] - p[size_t(b)]);
  r[size_t(a)] = p[size_t(a)] + (q[size_t(a)] > p[size_t(a)] ? step : -step);
  return r;
}

bool RasterizeTriangle(const RasterTarget& t, const Point3& a, const Point3& b, const Point3& c) {
  if (!t.Valid() || !Finite(a) || !Finite(b) || !Finite(c)) return false;
  // A triangle far larger than the steps would sweep for ever: refuse it.
  const double minStep = std::min({t.dX, t.dY, t.dZ}) / t.Divisor;
  double extent = 0;
  for (int k = 0; k < 3; ++k)
    extent = std::max({extent, std::fabs(a[size_t(k)] - b[size_t(k)]), std::fabs(a[size_t(k)] - c[size_t(k)]),
                       std::fabs(b[size_t(k)] - c[size_t(k)])});
  if (extent / minStep > MaxSteps) return false;
  RasterizeLine(t, a, b);
  RasterizeLine(t, a, c);
  RasterizeLine(t, b, c);
  const Point3* corners[3][3] = {{&a, &b, &c}, {&b, &a, &c}, {&c, &a, &b}};
  for (auto& k : corners) {
    Point3 u = *k[0], v = *k[0];
    for (;;) {
      const Point3 u2 = StepPointToward(t, u, *k[1]), v2 = StepPointToward(t, v, *k[2]);
      const bool moved = !SamePoint(u2, u) || !SamePoint(v2, v);
      u = u2, v = v2;
      RasterizeLine(t, u, v);
      if (!moved) break;
    }
  }
  return true;
}

bool RasterizeQuad(const RasterTarget& t, const Point3& p1, const Point3& p2, const Point3& p3,
                   const Point3& p4) {
  auto dist = [](const Point3& p, const Point3& q) {
    return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) + (p[2] - q[2]) * (p[2] - q[2]));
  };
  if (!t.Valid() || !Finite(p1) || !Finite(p2) || !Finite(p3) || !Finite(p4)) return false;
  if (dist(p1, p3) >= dist(p2, p4))
    return RasterizeTriangle(t, p2, p4, p1) && RasterizeTriangle(t, p2, p4, p3);
  return RasterizeTriangle(t, p1, p3, p2) && RasterizeTriangle(t, p1, p3, p4);
}

}  // namespace rv
