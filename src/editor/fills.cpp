#include "editor/fills.h"

#include <algorithm>
#include <vector>

namespace rv {

namespace {

// Scan-line fill over a box of lines: `line(a, b)` gives the model byte of cell c = 0 of
// line (a, b), cells along a line lie `stride` bytes apart; c runs over 1..nc, b over
// 1..nb, a over 1..na (na = 1 for a plane).
template <class Line>
int64_t SpanFill(int na, int nb, int nc, size_t stride, int a0, int b0, int c0, uint8_t from,
                 uint8_t to, Line line) {
  if (from == to) return 0;
  struct Seed { int a, b, c; };
  std::vector<Seed> stack{{a0, b0, c0}};
  int64_t changed = 0;
  while (!stack.empty()) {
    const Seed s = stack.back();
    stack.pop_back();
    uint8_t* l = line(s.a, s.b);
    if (l[size_t(s.c) * stride] != from) continue;
    int lo = s.c, hi = s.c;
    while (lo > 1 && l[size_t(lo - 1) * stride] == from) --lo;
    while (hi < nc && l[size_t(hi + 1) * stride] == from) ++hi;
    for (int c = lo; c <= hi; ++c) l[size_t(c) * stride] = to;
    changed += hi - lo + 1;
    // The neighbouring lines: one seed per run of the old material along the span.
    auto scan = [&](int a, int b) {
      if (a < 1 || a > na || b < 1 || b > nb) return;
      const uint8_t* m = line(a, b);
      bool inRun = false;
      for (int c = lo; c <= hi; ++c) {
        const bool match = m[size_t(c) * stride] == from;
        if (match && !inRun) stack.push_back({a, b, c});
        inRun = match;
      }
    };
    scan(s.a, s.b - 1);
    scan(s.a, s.b + 1);
    if (na > 1) {
      scan(s.a - 1, s.b);
      scan(s.a + 1, s.b);
    }
  }
  return changed;
}

}  // namespace

int64_t FillSection(tSpace& space, const SectionView& s, int col, int row, uint8_t material) {
  const Cell3 seed = SliceCellToModel(s, col, row, 0);
  // The plane's cells that the model holds: h along the columns, v along the rows.
  int nh = s.ColCount, nv = s.RowCount, w = s.Slice();
  const int len[3] = {space.len1() - 1, space.len2() - 1, space.len3() - 1};
  int lh = 0, lv = 0, lw = 0;
  ModelToPlane(s, {len[0], len[1], len[2]}, lh, lv, lw);
  nh = std::min(nh, lh), nv = std::min(nv, lv);
  int h0, v0, w0;
  ModelToPlane(s, seed, h0, v0, w0);
  if (w < 1 || w > lw || h0 < 1 || h0 > nh || v0 < 1 || v0 > nv) return 0;
  // Lines run along h; v picks the line.
  const size_t stride = s.Axis == SectionAxis::X ? 1 : space.strideX();
  auto line = [&](int, int v) {
    const Cell3 c = s.Axis == SectionAxis::X ? Cell3{w, v, 0} : s.Axis == SectionAxis::Y ? Cell3{0, w, v} : Cell3{0, v, w};
    return &space(c[0], c[1], c[2]);
  };
  const Cell3 m = seed;
  return SpanFill(1, nv, nh, stride, 1, v0, h0, space(m[0], m[1], m[2]), material, line);
}

int64_t FillVolume(tSpace& space, int nx, int ny, int nz, const Cell3& seed, uint8_t material) {
  const int n1 = std::min(nx - 1, space.len1() - 1), n2 = std::min(ny - 1, space.len2() - 1),
            n3 = std::min(nz - 1, space.len3() - 1);
  if (seed[0] < 1 || seed[0] > n1 || seed[1] < 1 || seed[1] > n2 || seed[2] < 1 || seed[2] > n3)
    return 0;
  auto line = [&](int x, int y) { return &space(x, y, 0); };
  return SpanFill(n1, n2, n3, 1, seed[0], seed[1], seed[2], space(seed[0], seed[1], seed[2]),
                  material, line);
}

}  // namespace rv
