#include "editor/fills.h"

#include <algorithm>
#include <vector>

namespace rv {

namespace {

// One horizontal scan-line fill over a 2-D or 3-D box: the fastest axis is the span axis.
// `cell(a, b, c)` gives the model byte of box cell (a, b, c); axis c is the span axis,
// b and a the others (a runs over one value for a plane).
template <class Cell>
int64_t SpanFill(int na, int nb, int nc, int a0, int b0, int c0, uint8_t from, uint8_t to,
                 Cell cell) {
  if (from == to) return 0;
  struct Seed { int a, b, c; };
  std::vector<Seed> stack{{a0, b0, c0}};
  int64_t changed = 0;
  while (!stack.empty()) {
    const Seed s = stack.back();
    stack.pop_back();
    if (*cell(s.a, s.b, s.c) != from) continue;
    int lo = s.c, hi = s.c;
    while (lo > 1 && *cell(s.a, s.b, lo - 1) == from) --lo;
    while (hi < nc && *cell(s.a, s.b, hi + 1) == from) ++hi;
    for (int c = lo; c <= hi; ++c) *cell(s.a, s.b, c) = to;
    changed += hi - lo + 1;
    // The neighbouring lines: one seed per run of the old material along the span.
    auto scan = [&](int a, int b) {
      if (a < 1 || a > na || b < 1 || b > nb) return;
      bool inRun = false;
      for (int c = lo; c <= hi; ++c) {
        const bool match = *cell(a, b, c) == from;
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
  auto cell = [&](int, int v, int h) {
    const Cell3 c = s.Axis == SectionAxis::X ? Cell3{w, v, h} : s.Axis == SectionAxis::Y ? Cell3{h, w, v} : Cell3{h, v, w};
    return &space(c[0], c[1], c[2]);
  };
  return SpanFill(1, nv, nh, 1, v0, h0, *cell(1, v0, h0), material, cell);
}

int64_t FillVolume(tSpace& space, int nx, int ny, int nz, const Cell3& seed, uint8_t material) {
  const int n1 = std::min(nx - 1, space.len1() - 1), n2 = std::min(ny - 1, space.len2() - 1),
            n3 = std::min(nz - 1, space.len3() - 1);
  if (seed[0] < 1 || seed[0] > n1 || seed[1] < 1 || seed[1] > n2 || seed[2] < 1 || seed[2] > n3)
    return 0;
  auto cell = [&](int x, int y, int z) { return &space(x, y, z); };
  return SpanFill(n1, n2, n3, seed[0], seed[1], seed[2], space(seed[0], seed[1], seed[2]), material,
                  cell);
}

}  // namespace rv
