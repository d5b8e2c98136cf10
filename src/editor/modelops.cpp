#include "editor/modelops.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>
#include <vector>

#include "project/tables.h"
#include "solver/numtext.h"

namespace rv {

namespace {

// The last model cell of each axis, bounded by the array as well as by the grid.
struct Limits {
  int x, y, z;
};
Limits CellLimits(const SolverData& d) {
  return {std::min({d.Nx, d.SpaceNx, d.Space.len1()}) - 1, std::min({d.Ny, d.SpaceNy, d.Space.len2()}) - 1,
          std::min({d.Nz, d.SpaceNz, d.Space.len3()}) - 1};
}

// The grid cells of a rectangle, clipped to the section grid (a stale rectangle may be larger).
struct ClippedRect {
  int c0, c1, r0, r1;
  bool empty() const { return c0 > c1 || r0 > r1; }
};
ClippedRect Clip(const SectionView& v, const GridRect& s) {
  return {std::max(std::min(s.Col1, s.Col2), 0), std::min(std::max(s.Col1, s.Col2), v.ColCount - 1),
          std::max(std::min(s.Row1, s.Row2), 0), std::min(std::max(s.Row1, s.Row2), v.RowCount - 1)};
}

bool HiddenMaterial(const SolverData& d, uint8_t m) { return m != 0 && m < MaxLayers && !d.Layers[m].On; }

// The temporary copy of the model, sized like it.
bool AllocTemp(const SolverData& d, tSpace& tmp, std::string& err) {
  if (!tmp.allocate(d.Space.len1(), d.Space.len2(), d.Space.len3())) {
    err = NoMemoryText;
    return false;
  }
  return true;
}
// The model cells 1..N-1 go into the temporary and leave Space empty there.
void MoveOut(SolverData& d, const Limits& L, tSpace& tmp) {
  if (L.z < 1) return;
  for (int x = 1; x <= L.x; ++x)
    for (int y = 1; y <= L.y; ++y) {
      uint8_t* row = &d.Space(x, y, 1);
      std::memcpy(&tmp(x, y, 1), row, size_t(L.z));
      std::memset(row, 0, size_t(L.z));
    }
}

// A turn's geometry: which model axes are turned, their scales, centre and last cells.
struct TurnAxes {
  int ia, ib, iw;  // model axis (0 x, 1 y, 2 z) of a, b and the unchanged one
  double sa, sb;
  int ca, cb;
  int la, lb, lw;
  TurnAxes(const Turn& t, const Limits& L) {
    const int lim[3] = {L.x, L.y, L.z};
    const double s[3] = {1, t.Sy, t.Sz};
    switch (t.Axis) {
      case SectionAxis::X: ia = 1, ib = 2, iw = 0, ca = t.Centre1, cb = t.Centre2; break;
      case SectionAxis::Y: ia = 0, ib = 2, iw = 1, ca = t.Centre1, cb = t.Centre2; break;
      default: ia = 1, ib = 0, iw = 2, ca = t.Centre2, cb = t.Centre1; break;  // centre fields: X, then Y
    }
    sa = s[ia], sb = s[ib];
    la = lim[ia], lb = lim[ib], lw = lim[iw];
  }
  void Cell(int a, int b, int w, int c[3]) const { c[ia] = a, c[ib] = b, c[iw] = w; }
};

// Rounds halves to even; false for values no cell index can have.
bool RoundIndex(double v, int& out) {
  if (!(std::fabs(v) < 1e9)) return false;
  out = int(std::nearbyint(v));
  return true;
}

// The in-plane image of (a, b) turned by (cos, sin) about the centre; false when it leaves
// the model cells.
bool TurnCell(const TurnAxes& g, int a, int b, double c, double s, int& a2, int& b2) {
  const double u = (a - g.ca) * g.sa, v = (b - g.cb) * g.sb;
  return RoundIndex((u * c - v * s) / g.sa + g.ca, a2) && RoundIndex((u * s + v * c) / g.sb + g.cb, b2) &&
         a2 >= 1 && a2 <= g.la && b2 >= 1 && b2 <= g.lb;
}

}  // namespace

void DeleteAll(SolverData& d) {
  const int nx = std::min(d.SpaceNx, d.Space.len1() - 1), ny = std::min(d.SpaceNy, d.Space.len2() - 1),
            nz = std::min(d.SpaceNz, d.Space.len3() - 1);
  for (int x = 1; x <= nx; ++x)
    for (int y = 1; y <= ny; ++y)
      for (int z = 1; z <= nz; ++z) d.Space(x, y, z) = 0;
  d.Modified = 1;
  ModelChanged(d);
}

void DeleteSelected(SolverData& d, MaterialState& m, const SectionView& v, const GridRect& sel) {
  SaveUndo(d, m);
  const ClippedRect r = Clip(v, sel);
  for (int col = r.c0; col <= r.c1; ++col)
    for (int row = r.r0; row <= r.r1; ++row) {
      const Cell3 c = SliceCellToModel(v, col, row, 0);
      if (d.Space.inside(c[0], c[1], c[2])) d.Space(c[0], c[1], c[2]) = 0;
    }
  ModelChanged(d);
}

int CloneLastSection(const SolverData& d, SectionAxis a) {
  const Limits L = CellLimits(d);
  return std::max(0, a == SectionAxis::X ? L.x : a == SectionAxis::Y ? L.y : L.z);
}

bool CloneSelection(SolverData& d, MaterialState& m, const SectionView& v, const GridRect& sel,
                    const CloneOptions& o) {
  const int s = v.Slice();
  // The last model cell along the axis: index N is no model cell, and the undo copy does not
  // hold it, so no copy goes there.
  const int last = CloneLastSection(d, v.Axis);
  std::vector<int> offsets;
  if (o.Mode == CloneOptions::ToSection) {
    if (o.Section > last || o.Section < 1) return false;
    offsets.push_back(o.Section - s);
  } else {
    const int n = o.Mode == CloneOptions::Forward ? std::clamp(o.Count, 0, std::max(last - s, 0))
                                                  : std::clamp(o.Count, 0, std::max(s - 1, 0));
    for (int k = 1; k <= n; ++k) offsets.push_back(o.Mode == CloneOptions::Forward ? k : -k);
  }
  SaveUndo(d, m);
  const ClippedRect r = Clip(v, sel);
  for (int k : offsets)
    for (int col = r.c0; col <= r.c1; ++col)
      for (int row = r.r0; row <= r.r1; ++row) {
        const Cell3 a = SliceCellToModel(v, col, row, 0), b = SliceCellToModel(v, col, row, k);
        if (!d.Space.inside(a[0], a[1], a[2]) || !d.Space.inside(b[0], b[1], b[2]) || b[0] < 1 || b[1] < 1 ||
            b[2] < 1)
          continue;
        const uint8_t src = d.Space(a[0], a[1], a[2]);
        uint8_t& dst = d.Space(b[0], b[1], b[2]);
        if (src == 0 && !o.CopyEmpty) continue;
        if (HiddenMaterial(d, src) && !o.CopyHidden) continue;
        if (HiddenMaterial(d, dst) && !o.OverwriteHidden) continue;
        dst = src;
      }
  ModelChanged(d);
  return true;
}

bool MoveModel(SolverData& d, MaterialState& m, int dx, int dy, int dz, std::string& err) {
  const Limits L = CellLimits(d);
  tSpace tmp;
  if (!AllocTemp(d, tmp, err)) return false;
  SaveUndo(d, m);
  MoveOut(d, L, tmp);
  bool hidden[256];
  for (int c = 0; c < 256; ++c) hidden[c] = HiddenMaterial(d, uint8_t(c));
  for (int x = 1; x <= L.x; ++x)
    for (int y = 1; y <= L.y; ++y) {
      const int64_t X = int64_t(x) + dx, Y = int64_t(y) + dy;
      const bool rowInside = X >= 1 && X <= L.x && Y >= 1 && Y <= L.y;
      const uint8_t* src = &tmp(x, y, 0);
      uint8_t* own = &d.Space(x, y, 0);
      uint8_t* to = rowInside ? &d.Space(int(X), int(Y), 0) : nullptr;
      for (int z = 1; z <= L.z; ++z) {
        const uint8_t c = src[z];
        if (c == 0) continue;
        const int64_t Z = int64_t(z) + dz;
        if (hidden[c]) own[z] = c;
        else if (to && Z >= 1 && Z <= L.z) to[Z] = c;
      }
    }
  ModelChanged(d);
  return true;
}

int ShiftTableCoords(OutPointTables& out, LampedTables& lamped, int dx, int dy, int dz) {
  int left = 0;
  for (StringGrid* g : {&lamped.sgResistors, &lamped.sgRazraydnic, &lamped.sgCapacitors, &lamped.sgSourses,
                        &lamped.sgInductor})
    left += ShiftGridCoords(*g, dx, dy, dz);
  left += ShiftGridColumns(out.sgOutPoint, 2, dx, dy, dz);
  for (StringGrid* g : {&out.sgCurrent, &out.sgVoltage})
    left += ShiftGridColumns(*g, 0, dx, dy, dz) + ShiftGridColumns(*g, 3, dx, dy, dz);
  left += ShiftGridCoords(out.sgFarPoints, dx, dy, dz);
  return left;
}

std::string CellsLeftText(int cells) {
  if (cells <= 0) return {};
  return "Координаты в таблицах элементов и точек вывода, не являющиеся целыми числами, не сдвинуты: " +
         IntToStr(cells);
}

bool RotateModel(SolverData& d, MaterialState& m, const Turn& t, double theta, std::string& err) {
  const Limits L = CellLimits(d);
  const TurnAxes g(t, L);
  tSpace tmp;
  // Where each in-plane cell goes and where each one comes from: the same for every layer
  // along the axis. -1: nowhere.
  std::vector<int> to, from;
  const size_t plane = size_t(std::max(g.la + 1, 1)) * size_t(std::max(g.lb + 1, 1));
  try {
    to.assign(plane, -1);
    from.assign(plane, -1);
  } catch (const std::bad_alloc&) {
    err = NoMemoryText;
    return false;
  }
  if (!AllocTemp(d, tmp, err)) return false;
  const double c = std::cos(theta), s = std::sin(theta);
  const auto at = [&](int a, int b) { return size_t(a) * size_t(g.lb + 1) + size_t(b); };
  for (int a = 1; a <= g.la; ++a)
    for (int b = 1; b <= g.lb; ++b) {
      int a2, b2;
      if (TurnCell(g, a, b, c, s, a2, b2)) to[at(a, b)] = int(at(a2, b2));
      if (TurnCell(g, a, b, c, -s, a2, b2)) from[at(a, b)] = int(at(a2, b2));
    }
  SaveUndo(d, m);
  MoveOut(d, L, tmp);
  const auto split = [&](int i, int& a, int& b) { a = i / (g.lb + 1), b = i % (g.lb + 1); };
  for (int x = 1; x <= L.x; ++x)
    for (int y = 1; y <= L.y; ++y)
      for (int z = 1; z <= L.z; ++z) {
        const uint8_t v = tmp(x, y, z);
        const int p[3] = {x, y, z};
        const int i = v ? to[at(p[g.ia], p[g.ib])] : -1;
        if (i < 0) continue;
        int a, b, q[3];
        split(i, a, b);
        g.Cell(a, b, p[g.iw], q);
        d.Space(q[0], q[1], q[2]) = v;
      }
  // Rounding maps some cells onto one place and leaves others unreached: an empty cell
  // whose inverse turn lands on an occupied source takes that source's material.
  for (int x = 1; x <= L.x; ++x)
    for (int y = 1; y <= L.y; ++y)
      for (int z = 1; z <= L.z; ++z) {
        if (d.Space(x, y, z)) continue;
        const int p[3] = {x, y, z};
        const int i = from[at(p[g.ia], p[g.ib])];
        if (i < 0) continue;
        int a, b, q[3];
        split(i, a, b);
        g.Cell(a, b, p[g.iw], q);
        d.Space(x, y, z) = tmp(q[0], q[1], q[2]);
      }
  ModelChanged(d);
  return true;
}

bool RevolveSelection(SolverData& d, MaterialState& m, const SectionView& v, const GridRect& sel,
                      const Turn& t, std::string& err) {
  const Limits L = CellLimits(d);
  const TurnAxes g(t, L);
  struct Source {
    int a, b, w;
    uint8_t m;
  };
  std::vector<Source> src;  // the region's cells before the sweep, in x, y, z order
  std::vector<double> angles;
  const ClippedRect r = Clip(v, sel);
  try {
    if (!r.empty()) {
      const Cell3 p = SliceCellToModel(v, r.c0, r.r0, 0), q = SliceCellToModel(v, r.c1, r.r1, 0);
      const int lim[3] = {L.x, L.y, L.z};
      int lo[3], hi[3];
      for (int i = 0; i < 3; ++i) lo[i] = std::max(std::min(p[i], q[i]), 1), hi[i] = std::min(std::max(p[i], q[i]), lim[i]);
      for (int x = lo[0]; x <= hi[0]; ++x)
        for (int y = lo[1]; y <= hi[1]; ++y)
          for (int z = lo[2]; z <= hi[2]; ++z) {
            const uint8_t c = d.Space(x, y, z);
            if (c == 0 || HiddenMaterial(d, c)) continue;
            const int xyz[3] = {x, y, z};
            src.push_back({xyz[g.ia], xyz[g.ib], xyz[g.iw], c});
          }
    }
    // The whole-radian steps fall round the circle with gaps up to 1.5 degrees, which open
    // holes on large rings; even steps no longer than half the smaller cell close them.
    double rmax = 0;
    for (const Source& s : src) rmax = std::max(rmax, std::hypot((s.a - g.ca) * g.sa, (s.b - g.cb) * g.sb));
    for (int k = 0; k < 360; ++k) angles.push_back(k);
    const double even = std::ceil(2 * std::numbers::pi * rmax / (0.5 * std::min(g.sa, g.sb)));
    const int n = int(std::clamp(even, 360.0, 1e6));
    for (int j = 0; j < n; ++j) angles.push_back(2 * std::numbers::pi * j / n);
  } catch (const std::bad_alloc&) {
    err = NoMemoryText;
    return false;
  }
  SaveUndo(d, m);
  for (double k : angles) {
    const double c = std::cos(k), s = std::sin(k);
    for (const Source& p : src) {
      const double u = (p.a - g.ca) * g.sa, w = (p.b - g.cb) * g.sb;
      int a2, b2;
      if (!RoundIndex((u * c - w * s) / g.sa, a2) || !RoundIndex((u * s + w * c) / g.sb, b2)) continue;
      a2 += g.ca, b2 += g.cb;
      if (a2 < 1 || a2 > g.la || b2 < 1 || b2 > g.lb) continue;
      int q[3];
      g.Cell(a2, b2, p.w, q);
      d.Space(q[0], q[1], q[2]) = p.m;
    }
  }
  ModelChanged(d);
  return true;
}

}  // namespace rv
