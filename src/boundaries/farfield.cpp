#include "boundaries/farfield.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>
#include <stdexcept>

#include "solver/textutils.h"
#include "solver/codepage.h"
#include "solver/constants.h"
#include "solver/kernelattrs.h"
#include "solver/numtext.h"
#include "solver/resultpaths.h"
#include "solver/workpool.h"

namespace rv {

namespace {

constexpr double Pi = 3.141592653589793238462643383279502884;
constexpr const char* BadBoxText = "Ошибка в задании границ области интегрирования дальнего поля";
constexpr const char* NoMemoryText = "Ошибка резервирования памяти";

// The face cells, face by face (X1, XMax, Y1, YMax, Z1, ZMax). The X faces hold all their
// cells, the Y faces the inner i, the Z faces the inner i and j: every edge cell of the box
// belongs to exactly one face. `along` 0 runs each face's rows along z (y on the Z faces),
// 1 along y (x on the Y and Z faces).
void FaceCells(const FarBox& b, int along, std::vector<FarFaceCell>& c,
               std::array<int32_t, 7>& begin, std::array<FarFaceGeom, 6>& geom) {
  const int lo[3] = {b.xmin, b.ymin, b.zmin}, hi[3] = {b.xmax, b.ymax, b.zmax};
  for (int8_t f = 0; f < 6; ++f) {
    const int n = f / 2, side = f % 2;
    // in-plane axes (u, v); the Y faces leave out the X faces' i, the Z faces both
    const int ua = n == 0 ? 1 : 0, va = n == 2 ? 1 : 2;
    const int u0 = lo[ua] + (n == 0 ? 0 : 1), u1 = hi[ua] - (n == 0 ? 0 : 1);
    const int v0 = lo[va] + (n == 2 ? 1 : 0), v1 = hi[va] - (n == 2 ? 1 : 0);
    const int fixed = side ? hi[n] : lo[n];
    begin[size_t(f)] = int32_t(c.size());
    FarFaceGeom& g = geom[size_t(f)];
    g.Column = int32_t(c.size());
    g.Normal = int8_t(n);
    g.Sign = int8_t(side ? 1 : -1);
    g.Fixed = fixed;
    g.OuterAxis = int8_t(along == 0 ? ua : va);
    g.InnerAxis = int8_t(along == 0 ? va : ua);
    g.Outer0 = along == 0 ? u0 : v0;
    g.Inner0 = along == 0 ? v0 : u0;
    const int outer = std::max(0, (along == 0 ? u1 - u0 : v1 - v0) + 1);
    const int inner = std::max(0, (along == 0 ? v1 - v0 : u1 - u0) + 1);
    g.Rows = inner > 0 ? outer : 0;
    g.RowLength = outer > 0 ? inner : 0;
    for (int r = 0; r < g.Rows; ++r)
      for (int v = 0; v < g.RowLength; ++v) {
        int p[3];
        p[n] = fixed;
        p[g.OuterAxis] = g.Outer0 + r;
        p[g.InnerAxis] = g.Inner0 + v;
        c.push_back(FarFaceCell{p[0], p[1], p[2], int8_t(n), g.Sign, f});
      }
  }
}

struct CellGeometry {
  double R;
  float Cos;
};

// Distance (m) from the receiver to a face cell, and the cosine between the face's outward
// normal and the direction to the receiver as a stored 32-bit value. The distance stays in
// double: the bins come from differences of distances, which at a receiver far out lie far
// below a float's last digit.
CellGeometry Geometry(const FarFieldState& s, const tFarPoint& p, int i, int j, int k, int axis,
                      int sign) {
  const double dx = (double(float(i)) - p.X) * s.Dx;
  const double dy = (double(float(j)) - p.Y) * s.Dy;
  const double dz = (double(float(k)) - p.Z) * s.Dz;
  const double R = std::sqrt(dx * dx + dy * dy + dz * dz);
  const double along = axis == 0 ? dx : axis == 1 ? dy : dz;  // face minus receiver
  const float cs = float(-sign * along / R);
  return {R, cs};
}

double CellArea(const FarFieldState& s, int axis) {
  return axis == 0 ? s.Dy * s.Dz : axis == 1 ? s.Dx * s.Dz : s.Dx * s.Dy;
}
double NormalStep(const FarFieldState& s, int axis) {
  return axis == 0 ? s.Dx : axis == 1 ? s.Dy : s.Dz;
}

// The receiver's tables. False when its bins cannot be told (a position so far out that
// the distances' rounding reaches a tenth of a bin). usedBlock: per block, 1 when the
// receiver sums runs from its rows, 2 when it reads packed cells there.
bool BuildTables(const FarFieldState& s, tFarPoint& p, bool fast, std::vector<char>& usedBlock) {
  const FarBox& b = s.Settings.Box;
  const size_t n = size_t(s.CellCount);
  std::vector<double> R(n);
  p.RMin = INFINITY;
  double rMax = 0;
  for (size_t c = 0; c < n; ++c) {
    const FarFaceCell& f = s.Cells[c];
    const CellGeometry g = Geometry(s, p, f.i, f.j, f.k, f.axis, f.sign);
    R[c] = g.R;
    if (g.R < p.RMin || c == 0) p.RMin = g.R;
    rMax = std::max(rMax, g.R);
  }
  // A distance carries the rounding of the position's difference, its squares and root:
  // some ulps of R. Where that is no longer far below a bin, equal distances mean nothing.
  if (!(16 * DBL_EPSILON * rMax < 0.1 * double(s.FarCdt))) return false;
  // The face-centre cosines (the accelerated diagram's single cosine per face).
  const int cj = b.ymin + (b.ymax - b.ymin) / 2, ck = b.zmin + (b.zmax - b.zmin) / 2;
  const int ci = b.xmin + (b.xmax - b.xmin) / 2;
  p.CosCentre = {Geometry(s, p, b.xmin, cj, ck, 0, -1).Cos, Geometry(s, p, b.xmax, cj, ck, 0, 1).Cos,
                 Geometry(s, p, ci, b.ymin, ck, 1, -1).Cos, Geometry(s, p, ci, b.ymax, ck, 1, 1).Cos,
                 Geometry(s, p, ci, cj, b.zmin, 2, -1).Cos, Geometry(s, p, ci, cj, b.zmax, 2, 1).Cos};
  // A retarded-time spread beyond the box's diagonal means the distances lost their digits.
  const double diag = std::sqrt(std::pow((b.xmax - b.xmin) * s.Dx, 2) +
                                std::pow((b.ymax - b.ymin) * s.Dy, 2) +
                                std::pow((b.zmax - b.zmin) * s.Dz, 2));
  const double maxBin = diag / double(s.FarCdt) + 2;
  std::vector<int32_t> bins(n);
  p.BinCount = 0;
  for (size_t c = 0; c < n; ++c) {
    int bin = 0;
    const double rel = (R[c] - p.RMin) / double(s.FarCdt);
    if (!TryRound32(rel, bin) || bin < 0 || bin > maxBin) return false;
    bins[c] = bin;
    p.BinCount = std::max(p.BinCount, bin + 1);
  }
  const double dtc = s.TimeStepSec * double(s.FarC);
  // A cell keeps w = RMax/R (near 1, so its powers stay far from the float range's ends);
  // the rest of its factors is one number per face: cos = h/R with h the signed distance
  // of the face's plane from the receiver along the outward normal.
  p.Fast = fast;
  for (int f = 0; f < 6; ++f) {
    const FarFaceGeom& g = s.Faces[0][size_t(f)];
    const double dS = CellArea(s, g.Normal), Dn = NormalStep(s, g.Normal);
    const double rec = g.Normal == 0 ? p.X : g.Normal == 1 ? p.Y : p.Z;
    const double h = g.Sign * (rec - double(float(g.Fixed))) * Dn;
    if (fast) {
      p.KA[size_t(f)] = dS / dtc * double(p.CosCentre[size_t(f)]) / rMax;
      p.KB[size_t(f)] = dS / Dn / rMax;
      p.KC[size_t(f)] = 0;
    } else {
      p.KA[size_t(f)] = dS / (2 * dtc) * h / (rMax * rMax);
      p.KB[size_t(f)] = dS / (2 * Dn * rMax);
      p.KC[size_t(f)] = dS * h / (rMax * rMax * rMax);
    }
  }
  // Each face along the in-plane axis where the offset changes least: the direction from
  // the box centre to the receiver, in metres per cell along each axis.
  const double u[3] = {std::abs((double(p.X) - s.CentreX) * s.Dx * s.Dx),
                       std::abs((double(p.Y) - s.CentreY) * s.Dy * s.Dy),
                       std::abs((double(p.Z) - s.CentreZ) * s.Dz * s.Dz)};
  const int first[6] = {2, 2, 2, 2, 1, 1}, second[6] = {1, 1, 0, 0, 0, 0};
  // cells outside the long runs: (block of its first-half cell, cell)
  std::vector<std::pair<int32_t, int32_t>> single;
  p.Runs.clear();
  p.W.clear();
  p.BlockRuns.assign(s.Blocks.size(), 0);
  usedBlock.assign(s.Blocks.size(), 0);
  for (size_t k = 0; k < s.Blocks.size(); ++k) {
    const FarBlock& blk = s.Blocks[k];
    const int half = u[first[blk.Face]] <= u[second[blk.Face]] ? 0 : 1;
    if (blk.Half == half) {
      const int32_t lo = blk.Column0, hi = blk.Column1;
      for (int32_t c = lo; c < hi;) {
        const int32_t bin = bins[size_t(s.Twin[size_t(c)])];
        int32_t e = c + 1;
        while (e < hi && bins[size_t(s.Twin[size_t(e)])] == bin) ++e;
        if (e - c >= FarFieldState::LongRun) {
          const size_t w0 = p.W.size();
          for (int32_t q = c; q < e; ++q)
            p.W.push_back(float(rMax / R[size_t(s.Twin[size_t(q)])]));
          const bool flat = std::all_of(p.W.begin() + ptrdiff_t(w0), p.W.end(),
                                        [&](float x) { return x == p.W[w0]; });
          if (flat) p.W.resize(w0 + 1);
          p.Runs.push_back(FarRun{c, e - c, bin, int16_t(blk.Face), int16_t(flat)});
          usedBlock[k] |= 1;
        } else {
          // indexed through the first half, where every cell is packed
          const FarFaceGeom& g = s.Faces[0][size_t(blk.Face)];
          for (int32_t q = c; q < e; ++q) {
            const int32_t t = s.Twin[size_t(q)];
            const int32_t kb = g.FirstBlock + (t - g.Column) / g.RowLength / g.BlockRows;
            single.emplace_back(kb, t);
            usedBlock[size_t(kb)] |= 2;
          }
        }
        c = e;
      }
    }
    p.BlockRuns[k] = int32_t(p.Runs.size());
  }
  p.W.resize(p.W.size() + FarFieldState::LaneCount, 0.0f);
  // The other cells grouped by block, then by offset, in face order within an offset.
  std::stable_sort(single.begin(), single.end(), [&](const auto& x, const auto& y) {
    return x.first != y.first ? x.first < y.first : bins[size_t(x.second)] < bins[size_t(y.second)];
  });
  const size_t ns = single.size();
  p.Cell.resize(ns);
  p.CellW.resize(ns);
  p.SegBin.clear();
  p.SegEnd.clear();
  p.BlockSegs.assign(s.Blocks.size(), 0);
  for (size_t i = 0; i < ns; ++i) {
    const auto [kb, c] = single[i];
    p.Cell[i] = c * s.PackStride;
    p.CellW[i] = float(rMax / R[size_t(c)]);
    if (i + 1 == ns || single[i + 1].first != kb || bins[size_t(single[i + 1].second)] != bins[size_t(c)]) {
      p.SegBin.push_back(bins[size_t(c)]);
      p.SegEnd.push_back(int32_t(i + 1));
    }
    p.BlockSegs[size_t(kb)] = int32_t(p.SegBin.size());
  }
  for (size_t k = 1; k < s.Blocks.size(); ++k) p.BlockSegs[k] = std::max(p.BlockSegs[k], p.BlockSegs[k - 1]);
  p.Sums.assign(size_t(p.BinCount) * size_t(2 * p.Components), 0.0);
  return true;
}

const t3DSpaceArray& Component(const SolverData& d, int q) {
  switch (q) {
    case 0: return d.Ex;
    case 1: return d.Ey;
    case 2: return d.Ez;
    case 3: return d.Hx;
    case 4: return d.Hy;
    default: return d.Hz;
  }
}

// The face values of one block, row by row: F0 and F_out - F_in of each component.
void GatherBlock(FarFieldState& s, const SolverData& d, const FarBlock& blk) {
  const FarFaceGeom& g = s.Faces[size_t(blk.Half)][size_t(blk.Face)];
  const int gc = s.GatherComponents;
  for (int q = 0; q < gc; ++q) {
    const t3DSpaceArray& F = Component(d, q);
    const float* f = F.data();
    const ptrdiff_t st[3] = {ptrdiff_t(F.strideX()), ptrdiff_t(F.strideY()), 1};
    const ptrdiff_t so = st[size_t(g.OuterAxis)], sv = st[size_t(g.InnerAxis)];
    const ptrdiff_t ns = g.Sign * st[size_t(g.Normal)];
    float* f0 = s.Gathered.data() + size_t(q) * s.RowStride;
    float* df = s.Gathered.data() + size_t(gc + q) * s.RowStride;
    for (int32_t r = blk.Row0; r < blk.Row1; ++r) {
      const float* at = f + ptrdiff_t(g.Fixed) * st[size_t(g.Normal)] + ptrdiff_t(g.Outer0 + r) * so +
                        ptrdiff_t(g.Inner0) * sv;
      const size_t col = size_t(g.Column) + size_t(r) * size_t(g.RowLength);
      float* RV_RESTRICT o0 = f0 + col;
      float* RV_RESTRICT od = df + col;
      const int n = g.RowLength;
      if (sv == 1) {
        for (int v = 0; v < n; ++v) {
          o0[v] = at[v];
          od[v] = at[v + ns] - at[v - ns];
        }
      } else {
        for (int v = 0; v < n; ++v) {
          const float* c = at + ptrdiff_t(v) * sv;
          o0[v] = c[0];
          od[v] = c[ns] - c[-ns];
        }
      }
      if (blk.Packed) {
        float* RV_RESTRICT pk = s.Packed.data() + col * size_t(s.PackStride) + size_t(8 * (q / 3) + q % 3);
        for (int v = 0; v < n; ++v) {
          pk[size_t(v) * size_t(s.PackStride)] = o0[v];
          pk[size_t(v) * size_t(s.PackStride) + 3] = od[v];
        }
      }
    }
  }
}

void Gather(FarFieldState& s, const SolverData& d) {
  const int nb = int(s.Blocks.size());
  ParallelFor(
      0, nb,
      [&](int k) {
        const FarBlock& blk = s.Blocks[size_t(k)];
        if (blk.Rows || blk.Packed) GatherBlock(s, d, blk);
      },
      s.Cells.size() >= size_t(4 * FarFieldState::BlockCells));
}

using Lanes = float __attribute__((vector_size(FarFieldState::LaneCount * sizeof(float))));
using LaneMask = int32_t __attribute__((vector_size(FarFieldState::LaneCount * sizeof(int32_t))));

// (Lanes pass by reference only: their by-value ABI differs between the clones.)
__attribute__((always_inline)) inline void LoadLanes(Lanes& v, const float* p) {
  __builtin_memcpy(&v, p, sizeof v);
}

// The lanes' total in a fixed order (halves added pairwise). __builtin_shufflevector: GCC
// (from 12) and clang alike.
__attribute__((always_inline)) inline double Total(const Lanes& x) {
  static_assert(FarFieldState::LaneCount == 8);
  Lanes v = x + __builtin_shufflevector(x, x, 4, 5, 6, 7, 0, 1, 2, 3);
  v += __builtin_shufflevector(v, v, 2, 3, 0, 1, 2, 3, 0, 1);
  return double(v[0] + v[1]);
}

// Three components' sums over a run's cells, LaneCount cells side by side; the last
// partial group reads past the run (the rows and W end in zeros) and masks those lanes
// off, so a value beyond the run never enters. f0[q], df[q]: the run's first cell in the
// rows of component q. Per component, fast: S1 = sum w F0, S2 = sum w dF; else also
// S1 = sum w^2 F0 and S3 = sum w^3 F0.
template <bool Fast, bool Flat>
__attribute__((always_inline)) inline void SumRun(const float* RV_RESTRICT w,
                                                  const float* const* f0,
                                                  const float* const* df, int n,
                                                  Lanes (&s1)[3], Lanes (&s2)[3], Lanes (&s3)[3]) {
  constexpr int L = FarFieldState::LaneCount;
  for (int q = 0; q < 3; ++q) s1[q] = s2[q] = s3[q] = Lanes{};
  Lanes flat, flat2;  // a flat run's one weight in every lane, and its square
  for (int l = 0; l < L; ++l) flat[l] = w[0];
  flat2 = flat * flat;
  auto add = [&](int i, const LaneMask& in, auto masked) {
    Lanes ww = flat, ww2 = flat2;
    if (!Flat) {
      LoadLanes(ww, w + i);
      if (!Fast) ww2 = ww * ww;
    }
    for (int q = 0; q < 3; ++q) {
      Lanes f, dd;
      LoadLanes(f, f0[q] + i), LoadLanes(dd, df[q] + i);
      Lanes t1 = Fast ? ww * f : ww2 * f, t2 = ww * dd, t3 = t1 * ww;
      if (masked) {
        const Lanes zero{};
        t1 = in ? t1 : zero, t2 = in ? t2 : zero, t3 = in ? t3 : zero;
      }
      s1[q] += t1;
      s2[q] += t2;
      if (!Fast) s3[q] += t3;
    }
  };
  int i = 0;
  for (; i + L <= n; i += L) add(i, LaneMask{}, std::false_type{});
  if (i < n) add(i, LaneMask{0, 1, 2, 3, 4, 5, 6, 7} < (n - i), std::true_type{});
}

// One receiver's runs in one block, each added to the sums of its bin offset.
template <int NC, bool Fast>
RV_KERNEL void BlockRuns(const FarFieldState& s, tFarPoint& p, int32_t r0, int32_t r1,
                         int32_t w0, int32_t step, int32_t limit) {
  constexpr int W = 2 * NC;
  const float* G = s.Gathered.data();
  const size_t row = s.RowStride;
  const int gc = s.GatherComponents;
  const float* w = p.W.data() + w0;
  for (int32_t r = r0; r < r1; ++r) {
    const FarRun run = p.Runs[size_t(r)];
    if (int64_t(run.Bin) + step < limit) {
      double* sum = &p.Sums[size_t(run.Bin) * W];
      const size_t f = size_t(run.Face);
      for (int q0 = 0; q0 < NC; q0 += 3) {
        const float* f0[3];
        const float* df[3];
        for (int q = 0; q < 3; ++q) {
          f0[q] = G + size_t(q0 + q) * row + size_t(run.Start);
          df[q] = G + size_t(gc + q0 + q) * row + size_t(run.Start);
        }
        Lanes s1[3], s2[3], s3[3];
        if (run.Flat) SumRun<Fast, true>(w, f0, df, run.Length, s1, s2, s3);
        else SumRun<Fast, false>(w, f0, df, run.Length, s1, s2, s3);
        for (int q = 0; q < 3; ++q) {
          sum[q0 + q] += p.KA[f] * Total(s1[q]);
          sum[NC + q0 + q] += Fast ? p.KB[f] * Total(s2[q]) : p.KB[f] * Total(s2[q]) - p.KC[f] * Total(s3[q]);
        }
      }
    }
    w += run.Weights();
  }
}

// The sums of n indexed cells for three components: at[i] is where cell i's packed
// values start (F0 in lanes 0-2, dF in lanes 3-5). Per lane, fast: s1 = sum w F;
// else s1 = sum w F (lanes 3-5 used), s2 = sum w^2 F (0-2), s3 = sum w^3 F (0-2). Two
// cells side by side keep two sets of sums, added at the end (a fixed order).
template <bool Fast>
__attribute__((always_inline)) inline void SumCells(const int32_t* RV_RESTRICT at,
                                                    const float* RV_RESTRICT w, int n,
                                                    const float* RV_RESTRICT P, Lanes& s1,
                                                    Lanes& s2, Lanes& s3) {
  Lanes a[2] = {}, b[2] = {}, c[2] = {};
  auto add = [&](int h, int i) {
    Lanes x;
    LoadLanes(x, P + at[i]);
    const Lanes x1 = w[i] * x;
    a[h] += x1;
    if (!Fast) {
      const Lanes x2 = w[i] * x1;
      b[h] += x2;
      c[h] += w[i] * x2;
    }
  };
  int i = 0;
  for (; i + 2 <= n; i += 2) add(0, i), add(1, i + 1);
  if (i < n) add(0, i);
  s1 = a[0] + a[1], s2 = b[0] + b[1], s3 = c[0] + c[1];
}

// One receiver's indexed cells in one block (of face f), segment by segment.
template <int NC, bool Fast>
RV_KERNEL void BlockCells(const FarFieldState& s, tFarPoint& p, size_t f, int32_t g0, int32_t g1,
                          int32_t step, int32_t limit) {
  constexpr int W = 2 * NC;
  int32_t lo = g0 > 0 ? p.SegEnd[size_t(g0) - 1] : 0;
  for (int32_t g = g0; g < g1; ++g) {
    const int32_t hi = p.SegEnd[size_t(g)], bin = p.SegBin[size_t(g)];
    if (int64_t(bin) + step < limit) {
      double* sum = &p.Sums[size_t(bin) * W];
      for (int q0 = 0; q0 < NC; q0 += 3) {
        Lanes s1, s2, s3;
        SumCells<Fast>(p.Cell.data() + lo, p.CellW.data() + lo, hi - lo, s.Packed.data() + 8 * q0 / 3,
                       s1, s2, s3);
        for (int q = 0; q < 3; ++q) {
          sum[q0 + q] += p.KA[f] * double(Fast ? s1[q] : s2[q]);
          sum[NC + q0 + q] += Fast ? p.KB[f] * double(s1[3 + q])
                                   : p.KB[f] * double(s1[3 + q]) - p.KC[f] * double(s3[q]);
        }
      }
    }
    lo = hi;
  }
}

// Every offset's sums of one receiver added to its series.
template <int NC>
void FinishReceiver(tFarPoint& p, int32_t step, int32_t limit) {
  constexpr int W = 2 * NC;
  for (int bin = 0; bin < p.BinCount && int64_t(bin) + step < limit; ++bin) {
    const double* sum = &p.Sums[size_t(bin) * W];
    for (int q = 0; q < NC; ++q)
      AddRetardedSample(p.Series[size_t(q)], limit, int64_t(bin) + step, sum[q], sum[NC + q]);
  }
}

// A group of receivers, block by block: each block's gathered rows are read by every
// receiver of the group while they are in cache. A receiver's sums follow its own tables
// in a fixed order, whatever the group or the thread.
constexpr int MaxGroup = 16;
void AccumulateGroup(FarFieldState& s, int r0, int r1, int32_t step, int32_t limit) {
  tFarPoint* p[MaxGroup];
  int32_t run[MaxGroup], w[MaxGroup], seg[MaxGroup];
  const int n = r1 - r0;
  for (int r = 0; r < n; ++r) {
    p[r] = &s.Receiver(r0 + r);
    std::fill(p[r]->Sums.begin(), p[r]->Sums.end(), 0.0);
    run[r] = w[r] = seg[r] = 0;
  }
  for (size_t k = 0; k < s.Blocks.size(); ++k)
    for (int r = 0; r < n; ++r) {
      tFarPoint& fp = *p[r];
      const int32_t end = fp.BlockRuns[k];
      if (end > run[r]) {
        if (fp.Components == 6)
          fp.Fast ? BlockRuns<6, true>(s, fp, run[r], end, w[r], step, limit)
                  : BlockRuns<6, false>(s, fp, run[r], end, w[r], step, limit);
        else
          fp.Fast ? BlockRuns<3, true>(s, fp, run[r], end, w[r], step, limit)
                  : BlockRuns<3, false>(s, fp, run[r], end, w[r], step, limit);
        for (; run[r] < end; ++run[r]) w[r] += fp.Runs[size_t(run[r])].Weights();
      }
      const int32_t segEnd = fp.BlockSegs[k];
      if (segEnd > seg[r]) {
        const size_t f = size_t(s.Blocks[k].Face);
        if (fp.Components == 6)
          fp.Fast ? BlockCells<6, true>(s, fp, f, seg[r], segEnd, step, limit)
                  : BlockCells<6, false>(s, fp, f, seg[r], segEnd, step, limit);
        else
          fp.Fast ? BlockCells<3, true>(s, fp, f, seg[r], segEnd, step, limit)
                  : BlockCells<3, false>(s, fp, f, seg[r], segEnd, step, limit);
        seg[r] = segEnd;
      }
    }
  for (int r = 0; r < n; ++r) {
    if (p[r]->Components == 6) FinishReceiver<6>(*p[r], step, limit);
    else FinishReceiver<3>(*p[r], step, limit);
  }
}

void Grow(tFarPoint& p, int32_t length) {
  for (int q = 0; q < p.Components; ++q) p.Series[size_t(q)].resize(size_t(length), 0.0f);
}

std::string FolderOf(const SolverData& d) {
  std::string dir = d.FARDir;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

void Write(const std::string& path, const std::vector<std::string>& lines,
           std::vector<std::string>& errors) {
  std::string err;
  if (!WriteTextLines(path, lines, err))
    errors.push_back(err.empty() ? "Не удалось записать файл " + path : err);
}

}  // namespace

int FarFieldState::ReceiverCount() const {
  return int(FarPoints.size() + Diagrams[0].size() + Diagrams[1].size() + Diagrams[2].size());
}

tFarPoint& FarFieldState::Receiver(int r) {
  if (size_t(r) < FarPoints.size()) return FarPoints[size_t(r)];
  size_t rest = size_t(r) - FarPoints.size();
  for (auto& dgm : Diagrams) {
    if (rest < dgm.size()) return dgm[rest];
    rest -= dgm.size();
  }
  return FarPoints.front();  // not reached for r < ReceiverCount()
}

bool FarBoundsValid(const FarBox& b, int nx, int ny, int nz) {
  auto ok = [](int lo, int hi, int n) { return lo >= 2 && lo < hi && hi <= n - 2; };
  return ok(b.xmin, b.xmax, nx) && ok(b.ymin, b.ymax, ny) && ok(b.zmin, b.zmax, nz);
}

namespace {

// On the box's faces or inside it: a face cell's distance can be zero there, and inside
// the surface integral does not give the field at all.
bool InBox(const FarBox& b, float x, float y, float z) {
  return x >= float(b.xmin) && x <= float(b.xmax) && y >= float(b.ymin) && y <= float(b.ymax) &&
         z >= float(b.zmin) && z <= float(b.zmax);
}

constexpr const char* InBoxText =
    "внутри области интегрирования дальнего поля или на ее границе: дальнее поле "
    "рассчитывается только для точек вне этой области";

int64_t BoxCells(const FarBox& b) {
  const int64_t fx = std::max<int64_t>(0, int64_t(b.xmax) - b.xmin + 1);
  const int64_t fy = std::max<int64_t>(0, int64_t(b.ymax) - b.ymin + 1);
  const int64_t fz = std::max<int64_t>(0, int64_t(b.zmax) - b.zmin + 1);
  const int64_t ix = std::max<int64_t>(0, fx - 2), iy = std::max<int64_t>(0, fy - 2);
  return 2 * fy * fz + 2 * ix * fz + 2 * ix * iy;
}

// Blocks of both halves at most for a box of `cells` face cells: a face's block holds
// whole rows, at least half of BlockCells or a single row, so a face in one half has at
// most 2 cells / BlockCells + 1 blocks.
int64_t BlockCountBound(int64_t cells) { return 4 * cells / FarFieldState::BlockCells + 12; }

}  // namespace

int64_t FarPointTableValues(const FarBox& b) {
  // A cell is a run cell (w at most, and a four-value run per LongRun cells at most) or an
  // indexed one (offset, w, and a two-value segment at most): 4 values at most; per
  // block the end of its runs and of its segments.
  const int64_t cells = BoxCells(b);
  return 4 * cells + 2 * BlockCountBound(cells) + FarFieldState::LaneCount;
}

int64_t FarSharedValues(const FarBox& b, bool withH) {
  // Both halves: the cell (four values) and its twin, the gathered rows (F0 and dF per
  // component); the first half packed (eight values per three components); the blocks
  // (eight values).
  const int64_t cells = BoxCells(b), components = withH ? 6 : 3;
  return 2 * cells * (4 + 1 + 2 * components) + 2 * components * FarFieldState::LaneCount +
         cells * 8 * (components / 3) + 8 * BlockCountBound(cells);
}

bool CheckFarFieldSettings(const SolverData& d, const FarFieldSettings& settings, std::string& message,
                           std::vector<std::array<float, 3>>* pointsOut, double* radiusOut) {
  const FarBox& b = settings.Box;
  if (!FarBoundsValid(b, d.Nx, d.Ny, d.Nz)) {
    message = BadBoxText;
    return false;
  }
  std::vector<std::array<float, 3>> points;
  for (size_t r = 0; r < settings.PointRows.size(); ++r) {
    std::array<float, 3> p{};
    for (int c = 0; c < 3; ++c) {
      const std::string& t = settings.PointRows[r][size_t(c)];
      double v = 0;
      if (!TryStrToFloat(t, v) || !std::isfinite(float(v))) {
        message = "Ошибка в задании координат точки дальнего поля в строке " + IntToStr(long(r) + 1) +
                  ": \"" + TextPiece(t) + "\" не является числом";
        return false;
      }
      p[size_t(c)] = float(v);
    }
    if (InBox(b, p[0], p[1], p[2])) {
      const auto& t = settings.PointRows[r];
      message = "Точка дальнего поля в строке " + IntToStr(long(r) + 1) + " (" + TextPiece(t[0]) + "; " + TextPiece(t[1]) +
                "; " + TextPiece(t[2]) + ") лежит " + InBoxText;
      return false;
    }
    points.push_back(p);
  }
  const bool anyDiagram = settings.DiagramOn[0] || settings.DiagramOn[1] || settings.DiagramOn[2];
  double radius = 0;
  if (anyDiagram && (!TryStrToFloat(settings.RadiusText, radius) || !std::isfinite(float(radius)))) {
    message = "Ошибка в задании радиуса диаграммы направленности: \"" + TextPiece(settings.RadiusText) +
              "\" не является числом";
    return false;
  }
  if (anyDiagram && settings.PointCount < 1) {
    message = "Число точек диаграммы направленности должно быть не меньше 1";
    return false;
  }
  if (pointsOut) *pointsOut = std::move(points);
  if (radiusOut) *radiusOut = radius;
  return true;
}

bool SetupFarField(FarFieldState& s, const SolverData& d, const FarFieldSettings& settings,
                   int32_t seriesLength, std::string& message) {
  FreeFarField(s);
  std::vector<std::array<float, 3>> points;
  double radius = 0;
  if (!CheckFarFieldSettings(d, settings, message, &points, &radius)) return false;
  const FarBox& b = settings.Box;
  const bool withH = settings.CalcFarH && !settings.PointRows.empty();
  for (int q = 0; q < (withH ? 6 : 3); ++q) {
    const t3DSpaceArray& F = Component(d, q);
    if (!F.inside(b.xmin - 1, b.ymin - 1, b.zmin - 1) || !F.inside(b.xmax + 1, b.ymax + 1, b.zmax + 1)) {
      message = BadBoxText;
      return false;
    }
  }

  s.Settings = settings;
  s.Dx = d.Dx;
  s.Dy = d.Dy;
  s.Dz = d.Dz;
  s.TimeStepSec = d.TimeStepSec;
  s.FarC = LightSpeed;
  s.FarCdt = float(double(LightSpeed) * d.TimeStepSec);
  s.DiagramRadius = float(radius);
  s.DiagramAngleStep = float(2 * Pi / std::max(1, settings.PointCount));
  s.CentreX = float((b.xmin + b.xmax) / 2.0);
  s.CentreY = float((b.ymin + b.ymax) / 2.0);
  s.CentreZ = float((b.zmin + b.zmax) / 2.0);
  s.SeriesLength = std::max(1, seriesLength);
  s.GatherComponents = withH ? 6 : 3;
  if (!(s.FarCdt > 0) || !std::isfinite(s.FarCdt)) {
    message = BadBoxText;
    return false;
  }
  try {
    for (int half = 0; half < 2; ++half) {
      FaceCells(b, half, s.Cells, s.FaceBegin[size_t(half)], s.Faces[size_t(half)]);
      s.FaceBegin[size_t(half)][6] = int32_t(s.Cells.size());
      if (half == 0) s.CellCount = int32_t(s.Cells.size());
    }
    // The second half's cells in the first half: faces in the same order, each transposed.
    s.Twin.resize(s.Cells.size());
    for (int32_t c = 0; c < s.CellCount; ++c) s.Twin[size_t(c)] = c;
    for (int f = 0; f < 6; ++f) {
      const int32_t b0 = s.FaceBegin[0][size_t(f)], b1 = s.FaceBegin[1][size_t(f)];
      const int32_t len = s.FaceBegin[0][size_t(f) + 1] - b0;
      if (len == 0) continue;
      const int32_t rowLen = s.Faces[0][size_t(f)].RowLength, rows = s.Faces[0][size_t(f)].Rows;
      for (int32_t q = 0; q < len; ++q)  // q = v * rows + u in the second half
        s.Twin[size_t(b1 + q)] = b0 + (q % rows) * rowLen + q / rows;
    }
    // Blocks of whole rows, face by face, each face's first half before its second.
    for (int f = 0; f < 6; ++f)
      for (int half = 0; half < 2; ++half) {
        FarFaceGeom& g = s.Faces[size_t(half)][size_t(f)];
        const int32_t per = std::max(1, FarFieldState::BlockCells / std::max(1, g.RowLength));
        g.FirstBlock = int32_t(s.Blocks.size());
        g.BlockRows = per;
        for (int32_t r = 0; r < g.Rows; r += per) {
          FarBlock blk;
          blk.Half = int8_t(half);
          blk.Face = int8_t(f);
          blk.Row0 = r;
          blk.Row1 = std::min(g.Rows, r + per);
          blk.Column0 = g.Column + r * g.RowLength;
          blk.Column1 = g.Column + blk.Row1 * g.RowLength;
          s.Blocks.push_back(blk);
        }
      }
    s.RowStride = s.Cells.size() + FarFieldState::LaneCount;
    s.Gathered.assign(s.RowStride * size_t(2 * s.GatherComponents), 0.0f);
    s.PackStride = 8 * (s.GatherComponents / 3);
    if (int64_t(s.CellCount) * s.PackStride > INT32_MAX) throw std::bad_alloc();
    s.Packed.assign(size_t(s.CellCount) * size_t(s.PackStride), 0.0f);
    for (const auto& p : points) {
      tFarPoint fp;
      fp.X = p[0];
      fp.Y = p[1];
      fp.Z = p[2];
      fp.Components = withH ? 6 : 3;
      s.FarPoints.push_back(std::move(fp));
    }
    const float R = s.DiagramRadius;
    for (int g = 0; g < 3; ++g) {
      if (!settings.DiagramOn[size_t(g)]) continue;
      for (int p = 0; p < settings.PointCount; ++p) {
        const double al = double(p) * double(s.DiagramAngleStep);
        const double c = double(R) * std::cos(al), sn = double(R) * std::sin(al);
        tFarPoint fp;
        fp.X = s.CentreX;
        fp.Y = s.CentreY;
        fp.Z = s.CentreZ;
        if (g == 0) {
          fp.Y = float(s.CentreY + c / d.Dy);
          fp.Z = float(s.CentreZ + sn / d.Dz);
        } else if (g == 1) {
          fp.X = float(s.CentreX + c / d.Dx);
          fp.Z = float(s.CentreZ + sn / d.Dz);
        } else {
          fp.X = float(s.CentreX + sn / d.Dx);
          fp.Y = float(s.CentreY + c / d.Dy);
        }
        if (InBox(b, fp.X, fp.Y, fp.Z)) {
          message = "Радиус диаграммы направленности \"" + TextPiece(settings.RadiusText) +
                    "\" слишком мал: ее точки лежат " + InBoxText;
          FreeFarField(s);
          return false;
        }
        s.Diagrams[size_t(g)].push_back(std::move(fp));
      }
    }
    const int nr = s.ReceiverCount();
    const size_t users = s.FarPoints.size();
    std::vector<char> built(size_t(nr), 0);
    std::vector<char> memOk(size_t(nr), 1);
    std::vector<std::vector<char>> used(static_cast<size_t>(nr));
    ParallelFor(0, nr, [&](int r) {
      try {
        tFarPoint& p = s.Receiver(r);
        built[size_t(r)] = BuildTables(s, p, size_t(r) >= users && settings.FastDiagram, used[size_t(r)]);
        if (built[size_t(r)]) Grow(p, s.SeriesLength);
      } catch (const std::bad_alloc&) {
        memOk[size_t(r)] = 0;
      }
    });
    for (int r = 0; r < nr; ++r) {
      if (!memOk[size_t(r)]) throw std::bad_alloc();
      if (built[size_t(r)]) continue;
      if (size_t(r) < users)
        message = "Точка дальнего поля в строке " + IntToStr(r + 1) +
                  " лежит слишком далеко: время прихода волны не определяется";
      else
        message = "Радиус диаграммы направленности \"" + TextPiece(settings.RadiusText) +
                  "\" слишком велик: время прихода волны не определяется";
      FreeFarField(s);
      return false;
    }
    // Only blocks some receiver reads are gathered.
    for (const auto& u : used)
      for (size_t k = 0; k < u.size(); ++k)
        s.Blocks[k].Rows |= (u[k] & 1) != 0, s.Blocks[k].Packed |= (u[k] & 2) != 0;
  } catch (const std::bad_alloc&) {
    FreeFarField(s);
    message = NoMemoryText;
    return false;
  }
  return true;
}

void AddRetardedSample(std::vector<float>& s, int32_t limit, int64_t n, double a, double b) {
  if (n < 0) return;
  const int64_t end = std::min<int64_t>(limit, int64_t(s.size()));
  if (n < end) s[size_t(n)] = float(double(s[size_t(n)]) + a);
  if (n + 1 < end) s[size_t(n + 1)] = float(double(s[size_t(n + 1)]) - b);
  if (n + 2 < end) s[size_t(n + 2)] = float(double(s[size_t(n + 2)]) - a);
}

void AccumulateFarField(FarFieldState& s, const SolverData& d, int32_t step) {
  const int32_t steps = d.StepCount.load();
  if (step < 1 || step > steps - 2 || s.Cells.empty()) return;
  const int nr = s.ReceiverCount();
  if (nr == 0) return;
  if (steps > s.SeriesLength) {
    // The step count was raised during the run: the series grow between two steps, on the
    // thread that fills them, keeping what they hold.
    try {
      for (int r = 0; r < nr; ++r) Grow(s.Receiver(r), steps);
    } catch (const std::bad_alloc&) {
      throw std::runtime_error(std::string(NoMemoryText) + ": дальнее поле на " +
                               IntToStr(steps) + " шагов");
    }
    s.SeriesLength = steps;
  }
  Gather(s, d);
  // Groups of receivers share each block while it is in cache; enough groups to keep
  // every thread busy. The grouping changes no result.
  const int group = std::clamp(nr / (2 * WorkThreads()), 1, MaxGroup);
  ParallelFor(0, (nr + group - 1) / group, [&](int g) {
    AccumulateGroup(s, g * group, std::min(nr, (g + 1) * group), step, steps);
  });
}

void FreeFarField(FarFieldState& s) {
  s.FarPoints = {};
  for (auto& dgm : s.Diagrams) dgm = {};
  s.Cells = {};
  s.Twin = {};
  s.Blocks = {};
  s.CellCount = 0;
  s.Gathered = {};
  s.RowStride = 0;
  s.Packed = {};
  s.SeriesLength = 0;
}

bool FarFieldFinite(const FarFieldState& s) {
  auto finite = [](const std::vector<tFarPoint>& points) {
    for (const tFarPoint& p : points)
      for (const std::vector<float>& series : p.Series)
        for (float v : series)
          if (!std::isfinite(v)) return false;
    return true;
  };
  if (!finite(s.FarPoints)) return false;
  for (const auto& dgm : s.Diagrams)
    if (!finite(dgm)) return false;
  return true;
}

std::string FarPointFileName(char field, const tFarPoint& p, char comp) {
  long long x = 0, y = 0, z = 0;
  TryRound(p.X, x);
  TryRound(p.Y, y);
  TryRound(p.Z, z);
  return std::string(1, field) + "(" + IntToStr(x) + "," + IntToStr(y) + "," + IntToStr(z) + ")" +
         std::string(1, comp) + ".grf";
}

float FarDiagramPeak(const tFarPoint& p, int32_t curStep) {
  float peak = 0;
  const int64_t end = std::min<int64_t>(int64_t(curStep) - 3, int64_t(p.Series[0].size()));
  for (int64_t n = 0; n < end; ++n) {
    const float ex = p.Series[0][size_t(n)], ey = p.Series[1][size_t(n)], ez = p.Series[2][size_t(n)];
    const float v = std::sqrt(ex * ex + ey * ey + ez * ez);
    if (v > peak) peak = v;
  }
  return peak;
}

void SaveFarPoints(const FarFieldState& s, const SolverData& d, int32_t curStep,
                   std::vector<std::string>& errors) {
  if (s.FarPoints.empty()) return;
  const std::string dir = FolderOf(d);
  std::string err;
  if (!EnsureDir(dir, &err)) {
    errors.push_back(err);
    return;
  }
  for (const tFarPoint& p : s.FarPoints) {
    // In double: at a receiver far out the bins' times differ far below a float's last
    // digit of the arrival time.
    const double t0 = p.RMin / double(s.FarC);
    auto series = [&](char field, char comp, const std::vector<float>& v) {
      const std::string name = FarPointFileName(field, p, comp);
      std::vector<std::string> lines;
      const int64_t end = std::min<int64_t>(int64_t(curStep) - 3, int64_t(v.size()));
      for (int64_t i = 0; i < end; ++i) {
        const double t = double(i) * s.TimeStepSec + t0;
        std::string line = FormatTextReal(t * 1e9) + " " +
                           FormatTextReal(double(v[size_t(i)]) / 4 / Pi);
        if (i == 0) line += " " + name;
        else if (i == 1) line += " t, нс";
        lines.push_back(std::move(line));
      }
      Write(dir + name, lines, errors);
    };
    series('E', 'y', p.Series[1]);
    series('E', 'x', p.Series[0]);
    series('E', 'z', p.Series[2]);
    if (s.Settings.CalcFarH && p.Components == 6) {
      series('H', 'x', p.Series[3]);
      series('H', 'y', p.Series[4]);
      series('H', 'z', p.Series[5]);
    }
  }
}

void SaveFarDiagrams(const FarFieldState& s, const SolverData& d, int32_t curStep,
                     std::vector<std::string>& errors) {
  const std::string dir = FolderOf(d);
  bool folder = false;
  for (int g = 0; g < 3; ++g) {
    if (!s.Settings.DiagramOn[size_t(g)]) continue;
    if (!folder) {
      std::string err;
      if (!EnsureDir(dir, &err)) {
        errors.push_back(err);
        return;
      }
      folder = true;
    }
    const std::string path = dir + "Diagr" + std::string(1, char('X' + g)) + "_" +
                             s.Settings.RadiusText + ".grf";
    const double parts = s.Settings.FastDiagram ? 8 : 4;
    std::vector<std::string> lines;
    const auto& pts = s.Diagrams[size_t(g)];
    for (size_t i = 0; i < pts.size(); ++i) {
      const double angle = double(i) * double(s.DiagramAngleStep) * 180 / Pi;
      std::string line = FormatTextReal(angle) + " " +
                         FormatTextReal(double(FarDiagramPeak(pts[i], curStep)) / parts / Pi);
      if (i == 0) line += " " + path;
      else if (i == 1) line += " угол, град";
      lines.push_back(std::move(line));
    }
    Write(path, lines, errors);
  }
}

}  // namespace rv
