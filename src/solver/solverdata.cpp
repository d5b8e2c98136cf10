#include "solver/solverdata.h"

#include "solver/constants.h"

#include <unistd.h>

namespace rv {

void SetGridSize(SolverData& d, int nx, int ny, int nz) {
  d.Nx = nx; d.Ny = ny; d.Nz = nz;
  d.SpaceNx = nx; d.SpaceNy = ny; d.SpaceNz = nz;
  d.NxEdges = nx - 1; d.NyEdges = ny - 1; d.NzEdges = nz - 1;
}

bool ResizeSpace(SolverData& d) {
  const int n1 = d.SpaceNx + 1, n2 = d.SpaceNy + 1, n3 = d.SpaceNz + 1;
  if (n1 <= 0 || n2 <= 0 || n3 <= 0) return false;
  // Same extents: nothing moves, so a window may call this while a run goes on.
  auto same = [&](const tSpace& s) { return s.len1() == n1 && s.len2() == n2 && s.len3() == n3; };
  if (same(d.Space) && same(d.UndoSpace)) return true;
  ++d.ModelVersion;
  return d.Space.resizeKeep(n1, n2, n3) && d.UndoSpace.resizeKeep(n1, n2, n3);
}

uint64_t PhysicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page <= 0) return 0;
  return uint64_t(pages) * uint64_t(page);
}

namespace {

// The twelve plane shapes shared by the Mur and RT-ABC storage, for node counts n*.
std::array<std::pair<int, int>, 12> PlaneShapes(int nx, int ny, int nz) {
  return {{{ny + 1, nz}, {ny + 1, nz}, {ny, nz + 1}, {ny, nz + 1},
           {nx + 1, nz}, {nx + 1, nz}, {nx, nz + 1}, {nx, nz + 1},
           {nx + 1, ny}, {nx + 1, ny}, {nx, ny + 1}, {nx, ny + 1}}};
}

// Elements actually allocated, to check against the memory there is.
uint64_t AllocatedElements(int nx, int ny, int nz, bool sar, bool mag, bool mur, bool rt) {
  const uint64_t A = uint64_t(nx + 1) * (ny + 1) * (nz + 1);
  const uint64_t ex = uint64_t(nx) * (ny + 1) * (nz + 1), ey = uint64_t(nx + 1) * ny * (nz + 1),
                 ez = uint64_t(nx + 1) * (ny + 1) * nz;
  uint64_t s = 0;
  for (auto [a, b] : PlaneShapes(nx, ny, nz)) s += uint64_t(a) * b;
  uint64_t n = 2 * (ex + ey + ez);  // E and H have the same three shapes, transposed
  if (sar) n += 3 * A + ex + ey + ez;
  if (mag) n += A;
  if (mur) n += s;
  if (rt) n += 8 * s;
  return n;
}

}  // namespace

int64_t FieldArrayCount(int nx, int ny, int nz, bool sarOn, bool anyRTABC) {
  const int64_t A = int64_t(nx + 1) * (ny + 1) * (nz + 1);
  const int64_t S = int64_t(ny + 1) * nz + int64_t(ny) * (nz + 1) + int64_t(nx + 1) * nz +
                    int64_t(nx) * (nz + 1) + int64_t(nx + 1) * ny + int64_t(nx) * (ny + 1);
  int64_t n = 6 * A;
  if (sarOn) n += 3 * A + 2 * int64_t(nx) * ny * nz;
  n += A + 2 * S + 12 * S;  // counted whether or not their arrays exist
  if (anyRTABC) n += 2 * S + 2 * S;
  return n;
}

int64_t AllocFieldArrays(SolverData& d) {
  FreeFieldArrays(d);
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  if (nx < 1 || ny < 1 || nz < 1) return 0;
  uint64_t limit = d.MemoryLimitBytes ? d.MemoryLimitBytes : PhysicalMemoryBytes();
  const uint64_t need = AllocatedElements(nx, ny, nz, d.SAROn, d.MagneticMaterials, d.AnyMur,
                                          d.AnyRTABC) * sizeof(float);
  if (limit && need > limit) return 0;

  bool ok = d.Hx.allocate(nx + 1, ny, nz) && d.Hy.allocate(nx, ny + 1, nz) &&
            d.Hz.allocate(nx, ny, nz + 1) && d.Ex.allocate(nx, ny + 1, nz + 1) &&
            d.Ey.allocate(nx + 1, ny, nz + 1) && d.Ez.allocate(nx + 1, ny + 1, nz);
  if (ok && d.SAROn) {
    ok = d.PowerX.allocate(nx + 1, ny + 1, nz + 1) && d.PowerY.allocate(nx + 1, ny + 1, nz + 1) &&
         d.PowerZ.allocate(nx + 1, ny + 1, nz + 1) && d.ExPrev.allocate(nx, ny + 1, nz + 1) &&
         d.EyPrev.allocate(nx + 1, ny, nz + 1) && d.EzPrev.allocate(nx + 1, ny + 1, nz);
  }
  if (ok && d.MagneticMaterials) ok = d.HCoefCell.allocate(nx + 1, ny + 1, nz + 1);
  const auto shapes = PlaneShapes(nx, ny, nz);
  if (ok && d.AnyMur)
    for (int p = 0; p < MurPlaneCount && ok; ++p)
      ok = d.MurPlanes[p].allocate(shapes[p].first, shapes[p].second);
  if (ok && d.AnyRTABC) {
    d.RTABCPlanes.resize(RTABCPlaneCount);
    // 24 groups of three time levels following the 12-plane pattern twice, then two sets of 12.
    for (int p = 0; p < RTABCPlaneCount && ok; ++p) {
      const int shape = p < 72 ? (p / 3) % 12 : (p - 72) % 12;
      ok = d.RTABCPlanes[p].allocate(shapes[shape].first, shapes[shape].second);
    }
  }
  if (!ok) {
    FreeFieldArrays(d);
    return 0;
  }
  return FieldArrayCount(nx, ny, nz, d.SAROn, d.AnyRTABC);
}

void ClearFields(SolverData& d) {
  for (t3DSpaceArray* a : {&d.Hx, &d.Hy, &d.Hz, &d.Ex, &d.Ey, &d.Ez}) a->fill(0.0f);
  if (d.AnyMur)
    for (auto& p : d.MurPlanes) p.fill(0.0f);
  if (d.AnyRTABC)
    for (auto& p : d.RTABCPlanes) p.fill(0.0f);
  d.HCoefUniform = float(1.0L / (long double)Mu0C);
  if (d.MagneticMaterials) d.HCoefCell.fill(d.HCoefUniform);
}

void FreeFieldArrays(SolverData& d) {
  for (t3DSpaceArray* a : {&d.Hx, &d.Hy, &d.Hz, &d.Ex, &d.Ey, &d.Ez, &d.PowerX, &d.PowerY,
                           &d.PowerZ, &d.HCoefCell, &d.DebyeX, &d.DebyeY, &d.DebyeZ, &d.ExPrev,
                           &d.EyPrev, &d.EzPrev, &d.SARCell})
    a->free();
  for (auto& p : d.MurPlanes) p.free();
  d.RTABCPlanes.clear();
  d.RTABCPlanes.shrink_to_fit();
}

}  // namespace rv
