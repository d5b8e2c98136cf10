#include "editor/section.h"

#include <algorithm>
#include <cmath>

#include "solver/numtext.h"

namespace rv {

char AxisLetter(SectionAxis a) { return a == SectionAxis::X ? 'X' : a == SectionAxis::Y ? 'Y' : 'Z'; }

void SectionView::SizeFor(int nx, int ny, int nz) {
  const int n = std::max(1, nx - 1), m = std::max(1, ny - 1), l = std::max(1, nz - 1);
  switch (Axis) {
    case SectionAxis::X: RowCount = m, ColCount = l; break;
    case SectionAxis::Y: RowCount = l, ColCount = n; break;
    case SectionAxis::Z: RowCount = m, ColCount = n; break;
  }
}

namespace {
Cell3 FromPlane(const SectionView& s, int h, int v, int w) {
  switch (s.Axis) {
    case SectionAxis::X: return {w, v, h};
    case SectionAxis::Y: return {h, w, v};
    default: return {h, v, w};
  }
}
}  // namespace

Cell3 SliceCellToModel(const SectionView& s, int col, int row, int offset) {
  return FromPlane(s, col + 1, s.RowCount - row, s.Slice() + offset);
}

void ModelToPlane(const SectionView& s, const Cell3& c, int& h, int& v, int& w) {
  switch (s.Axis) {
    case SectionAxis::X: h = c[2], v = c[1], w = c[0]; break;
    case SectionAxis::Y: h = c[0], v = c[2], w = c[1]; break;
    default: h = c[0], v = c[1], w = c[2]; break;
  }
}

// ---- zoom

namespace {
// Cell sizes along the column and row axes.
void PlaneSizes(SectionAxis a, double dx, double dy, double dz, double& col, double& row) {
  switch (a) {
    case SectionAxis::X: col = dz, row = dy; break;
    case SectionAxis::Y: col = dx, row = dz; break;
    default: col = dx, row = dy; break;
  }
}

int Derived(int driving, double ratio) {
  const double v = std::nearbyint(double(driving) * ratio);
  if (!(v >= 1)) return 1;
  return v > MaxDerivedSide ? MaxDerivedSide : int(v);
}

// Sets the driven side from the driving one; sides below 2 become 1.
CellSides Follow(CellSides s, SectionAxis a, double dx, double dy, double dz, int driving) {
  double col = 0, row = 0;
  PlaneSizes(a, dx, dy, dz, col, row);
  driving = std::clamp(driving, 1, MaxDrivingSide);
  if (ColumnDrives(a, dx, dy, dz)) {
    s.ColWidth = driving;
    s.RowHeight = Derived(driving, row / col);
  } else {
    s.RowHeight = driving;
    s.ColWidth = Derived(driving, col / row);
  }
  if (s.ColWidth < 2) s.ColWidth = 1;
  if (s.RowHeight < 2) s.RowHeight = 1;
  s.CanZoomOut = s.ColWidth != 1 && s.RowHeight != 1;
  s.CanZoomIn = driving < MaxDrivingSide;
  return s;
}

int Driving(const CellSides& s, SectionAxis a, double dx, double dy, double dz) {
  return ColumnDrives(a, dx, dy, dz) ? s.ColWidth : s.RowHeight;
}
}  // namespace

bool ColumnDrives(SectionAxis a, double dx, double dy, double dz) {
  switch (a) {
    case SectionAxis::X: return dy >= dz;
    case SectionAxis::Y: return dx < dz;
    default: return dx < dy;
  }
}

CellSides ZoomIn(CellSides s, SectionAxis a, double dx, double dy, double dz) {
  const int d = Driving(s, a, dx, dy, dz);
  if (d >= MaxDrivingSide) return Follow(s, a, dx, dy, dz, d);
  s = Follow(s, a, dx, dy, dz, d * 2);
  s.CanZoomOut = true;
  return s;
}

CellSides ZoomOut(CellSides s, SectionAxis a, double dx, double dy, double dz) {
  return Follow(s, a, dx, dy, dz, Driving(s, a, dx, dy, dz) / 2);
}

CellSides RederiveSides(CellSides s, SectionAxis a, double dx, double dy, double dz) {
  return Follow(s, a, dx, dy, dz, std::min(s.ColWidth, s.RowHeight));
}

// ---- glyphs

int ChooseGlyph(SectionAxis a, char letter) {
  static const int k[3][3] = {{2, 0, 1}, {1, 2, 0}, {1, 0, 2}};  // [axis][X, Y, Z]
  const int l = letter == 'X' ? 0 : letter == 'Y' ? 1 : letter == 'Z' ? 2 : -1;
  return l < 0 ? -1 : k[int(a)][l];
}

bool GlyphTarget1(int k, const PixRect& r, PixRect& t) {
  const int hw = (r.Right - r.Left) / 2, hh = (r.Bottom - r.Top) / 2;
  const int dx[3] = {-hw, 0, -hw}, dy[3] = {0, hh, hh};
  if (k < 0 || k > 2) return false;
  t = {r.Left + dx[k], r.Top + dy[k], r.Right + dx[k], r.Bottom + dy[k]};
  return true;
}

// ---- one cell's marks, record by record

bool OutputMarkAt(const ElementArrays& a, SectionAxis axis, const Cell3& c) {
  for (const tOutputPoint& p : a.OutputPoints)
    if ((p.Kind == 'I' || p.Kind == 'J') && p.Dir != 0 && ChooseGlyph(axis, p.Dir) == 2 &&
        p.X == c[0] && p.Y == c[1] && p.Z == c[2])
      return true;
  return false;
}

namespace {
// A region's corners in plane coordinates, when it lies flat in the section's plane.
bool RegionInPlane(const tCurrentRegion& r, const SectionView& s, int w, int& H1, int& V1, int& H2,
                   int& V2) {
  if (r.Plane != AxisLetter(s.Axis)) return false;
  int w1 = 0, w2 = 0;
  ModelToPlane(s, {r.X1, r.Y1, r.Z1}, H1, V1, w1);
  ModelToPlane(s, {r.X2, r.Y2, r.Z2}, H2, V2, w2);
  return w1 == w;
}

uint8_t EdgeBits(int h, int v, int H1, int V1, int H2, int V2) {
  uint8_t m = 0;
  if ((v == V1 || v == V2) && H1 < h && h < H2) m |= 1;
  if (V1 < v && v < V2 && (h == H1 || h == H2)) m |= 2;
  if (v == V2 && h == H1) m |= 4;
  if (v == V1 && h == H1) m |= 8;
  if (v == V2 && h == H2) m |= 16;
  if (v == V1 && h == H2) m |= 32;
  return m;
}

// The three runs of a voltage line's staircase: axis (0 x, 1 y, 2 z), the fixed cell and
// the run's extent along the axis (first..last cell).
struct Run {
  int axis;
  Cell3 at;
  int lo, hi;
};
std::array<Run, 3> Staircase(const tCurrentRegion& r) {
  return {Run{0, {0, r.Y1, r.Z1}, std::min(r.X1, r.X2), std::max(r.X1, r.X2) - 1},
          Run{1, {r.X2, 0, r.Z1}, std::min(r.Y1, r.Y2), std::max(r.Y1, r.Y2) - 1},
          Run{2, {r.X2, r.Y2, 0}, std::min(r.Z1, r.Z2), std::max(r.Z1, r.Z2) - 1}};
}

// The bit a run along model axis `axis` sets in the section.
uint8_t RunBit(SectionAxis s, int axis) {
  static const uint8_t bit[3][3] = {{8, 2, 1}, {1, 8, 2}, {1, 2, 8}};  // [section][x, y, z]
  return bit[int(s)][axis];
}
}  // namespace

uint8_t CurrentRegionEdges(const ElementArrays& a, const SectionView& s, const Cell3& c) {
  int h = 0, v = 0, w = 0;
  ModelToPlane(s, c, h, v, w);
  uint8_t m = 0;
  for (const tCurrentRegion& r : a.CurrentRegions) {
    int H1, V1, H2, V2;
    if (RegionInPlane(r, s, w, H1, V1, H2, V2)) m |= EdgeBits(h, v, H1, V1, H2, V2);
  }
  return m;
}

uint8_t VoltageLineMask(const ElementArrays& a, const SectionView& s, const Cell3& c) {
  uint8_t m = 0;
  for (const tCurrentRegion& r : a.VoltageLines)
    for (const Run& run : Staircase(r)) {
      Cell3 at = run.at;
      const int t = c[size_t(run.axis)];
      at[size_t(run.axis)] = t;
      if (at == c && run.lo <= t && t <= run.hi) m |= RunBit(s.Axis, run.axis);
    }
  return m;
}

// ---- the index

void SectionMarks::Build(const ElementArrays& a, const SectionView& s) {
  map_.clear();
  const int w = s.Slice();
  auto inPlane = [&](int x, int y, int z, int& h, int& v) {
    int ww = 0;
    ModelToPlane(s, {x, y, z}, h, v, ww);
    return ww == w && h >= 1 && h <= s.ColCount && v >= 1 && v <= s.RowCount;
  };
  auto element = [&](GlyphKind k, int x, int y, int z, char dir) {
    int h, v;
    if (x == 0 || !inPlane(x, y, z, h, v)) return;
    Marks& m = at(h, v);
    if (m.Dir[k] == 0) m.Dir[k] = dir ? dir : '?';  // the first record of the kind wins
  };
  for (const tSparkGap& e : a.SparkGaps) element(GlyphSparkGap, e.X, e.Y, e.Z, e.Dir);
  for (const tLumpedElement& e : a.Capacitors) element(GlyphCapacitor, e.X, e.Y, e.Z, e.Dir);
  for (const tVoltageSource& e : a.VoltageSources) element(GlyphSource, e.X, e.Y, e.Z, e.Dir);
  for (const tInductor& e : a.Inductors) element(GlyphInductor, e.X, e.Y, e.Z, e.Dir);
  for (const tLumpedElement& e : a.Resistors) element(GlyphResistor, e.X, e.Y, e.Z, e.Dir);
  for (const tOutputPoint& p : a.OutputPoints) {
    int h, v;
    if (p.X == 0 || !inPlane(p.X, p.Y, p.Z, h, v)) continue;
    Marks& m = at(h, v);
    m.Output = true;
    if ((p.Kind == 'I' || p.Kind == 'J') && p.Dir != 0 && ChooseGlyph(s.Axis, p.Dir) == 2)
      m.CurrentMark = true;
  }
  // Region outlines: only border cells carry bits; walk them, clipped to the grid.
  for (const tCurrentRegion& r : a.CurrentRegions) {
    int H1, V1, H2, V2;
    if (!RegionInPlane(r, s, w, H1, V1, H2, V2)) continue;
    auto mark = [&](int h, int v) {
      if (h < 1 || h > s.ColCount || v < 1 || v > s.RowCount) return;
      if (const uint8_t b = EdgeBits(h, v, H1, V1, H2, V2)) at(h, v).RegionEdges |= b;
    };
    for (int v : {V1, V2})
      for (int h = std::max(H1 + 1, 1); h <= std::min(H2 - 1, s.ColCount); ++h) mark(h, v);
    for (int h : {H1, H2})
      for (int v = std::max(V1 + 1, 1); v <= std::min(V2 - 1, s.RowCount); ++v) mark(h, v);
    for (int h : {H1, H2})
      for (int v : {V1, V2}) mark(h, v);
  }
  // Voltage lines: each run's cells that lie in the plane, clipped to the grid.
  for (const tCurrentRegion& r : a.VoltageLines)
    for (const Run& run : Staircase(r)) {
      const uint8_t bit = RunBit(s.Axis, run.axis);
      int lo = std::max(run.lo, 1), hi = run.hi;
      if (bit == 8) lo = std::max(lo, w), hi = std::min(hi, w);
      else hi = std::min(hi, bit == 1 ? s.ColCount : s.RowCount);
      for (int t = lo; t <= hi; ++t) {
        Cell3 c = run.at;
        c[size_t(run.axis)] = t;
        int h, v;
        if (inPlane(c[0], c[1], c[2], h, v)) at(h, v).VoltageMask |= bit;
      }
    }
}

const SectionMarks::Marks* SectionMarks::At(int h, int v) const {
  auto it = map_.find(key(h, v));
  return it == map_.end() ? nullptr : &it->second;
}

// ---- status texts

std::string AnchorText(const Cell3& a) {
  return "Выбрана ячейка " + IntToStr(a[0]) + ", " + IntToStr(a[1]) + ", " + IntToStr(a[2]);
}

std::string DistanceText(const Cell3& anchor, const Cell3& mouse, double dx, double dy, double dz) {
  double L[3];
  const double size[3] = {dx, dy, dz};
  for (int i = 0; i < 3; ++i) {
    const int d = mouse[size_t(i)] - anchor[size_t(i)];
    const int n = d > 0 ? d + 1 : d < 0 ? d - 1 : 0;
    L[i] = n * size[i];
  }
  const double len = std::sqrt(L[0] * L[0] + L[1] * L[1] + L[2] * L[2]);
  auto g = [](double v) { return FormatGeneral(v, 7); };
  return AnchorText(anchor) + ". Длина " + g(L[0]) + ", " + g(L[1]) + ", " + g(L[2]) + " = " +
         g(len) + " м";
}

}  // namespace rv
