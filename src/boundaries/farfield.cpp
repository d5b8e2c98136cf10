#include "boundaries/farfield.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

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
               std::array<int32_t, 7>& begin) {
  auto face = [&](int f, int a0, int a1, int b0, int b1, auto&& make) {
    begin[size_t(f)] = int32_t(c.size());
    if (along == 0) {
      for (int u = a0; u <= a1; ++u)
        for (int v = b0; v <= b1; ++v) c.push_back(make(u, v));
    } else {
      for (int v = b0; v <= b1; ++v)
        for (int u = a0; u <= a1; ++u) c.push_back(make(u, v));
    }
  };
  for (int8_t side = 0; side < 2; ++side) {
    const int x = side ? b.xmax : b.xmin;
    face(side, b.ymin, b.ymax, b.zmin, b.zmax, [&](int j, int k) {
      return FarFaceCell{x, j, k, 0, int8_t(side ? 1 : -1), side};
    });
  }
  for (int8_t side = 0; side < 2; ++side) {
    const int y = side ? b.ymax : b.ymin;
    face(2 + side, b.xmin + 1, b.xmax - 1, b.zmin, b.zmax, [&](int i, int k) {
      return FarFaceCell{i, y, k, 1, int8_t(side ? 1 : -1), int8_t(2 + side)};
    });
  }
  for (int8_t side = 0; side < 2; ++side) {
    const int z = side ? b.zmax : b.zmin;
    face(4 + side, b.xmin + 1, b.xmax - 1, b.ymin + 1, b.ymax - 1, [&](int i, int j) {
      return FarFaceCell{i, j, z, 2, int8_t(side ? 1 : -1), int8_t(4 + side)};
    });
  }
}

struct CellGeometry {
  float R, Cos;
};

// Distance (m) from the receiver to a face cell and the cosine between the face's outward
// normal and the direction to the receiver, both as stored 32-bit values.
CellGeometry Geometry(const FarFieldState& s, const tFarPoint& p, int i, int j, int k, int axis,
                      int sign) {
  const double dx = (double(float(i)) - p.X) * s.Dx;
  const double dy = (double(float(j)) - p.Y) * s.Dy;
  const double dz = (double(float(k)) - p.Z) * s.Dz;
  const float R = float(std::sqrt(dx * dx + dy * dy + dz * dz));
  const double along = axis == 0 ? dx : axis == 1 ? dy : dz;  // face minus receiver
  const float cs = float(-sign * along / double(R));
  return {R, cs};
}

double CellArea(const FarFieldState& s, int axis) {
  return axis == 0 ? s.Dy * s.Dz : axis == 1 ? s.Dx * s.Dz : s.Dx * s.Dy;
}
double NormalStep(const FarFieldState& s, int axis) {
  return axis == 0 ? s.Dx : axis == 1 ? s.Dy : s.Dz;
}

// The receiver's tables. False when its bins cannot be told (a position so far out that
// the distances lose every digit below the box's size).
bool BuildTables(const FarFieldState& s, tFarPoint& p, bool fast) {
  const FarBox& b = s.Settings.Box;
  const size_t n = size_t(s.CellCount);
  std::vector<float> R(n), Cs(n);
  p.RMin = INFINITY;
  for (size_t c = 0; c < n; ++c) {
    const FarFaceCell& f = s.Cells[c];
    const CellGeometry g = Geometry(s, p, f.i, f.j, f.k, f.axis, f.sign);
    R[c] = g.R;
    Cs[c] = g.Cos;
    if (g.R < p.RMin || c == 0) p.RMin = g.R;
  }
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
    const double rel = (double(R[c]) - double(p.RMin)) / double(s.FarCdt);
    if (!TryRound32(rel, bin) || bin < 0 || bin > maxBin) return false;
    bins[c] = bin;
    p.BinCount = std::max(p.BinCount, bin + 1);
  }
  const double dtc = s.TimeStepSec * double(s.FarC);
  auto factors = [&](size_t c, float& A, float& B, float& C) {
    const FarFaceCell& f = s.Cells[c];
    const double dS = CellArea(s, f.axis), Dn = NormalStep(s, f.axis), r = R[c];
    if (fast) {
      A = float(dS / dtc * double(p.CosCentre[size_t(f.face)]) / r);
      B = float(dS / Dn / r);
      C = 0;
    } else {
      A = float(dS / (2 * dtc) * double(Cs[c]) / r);
      B = float(dS / (2 * r * Dn));
      C = float(dS * double(Cs[c]) / (r * r));
    }
  };
  // Each face along the in-plane axis where the offset changes least: the direction from
  // the box centre to the receiver, in metres per cell along each axis.
  const double u[3] = {std::abs((double(p.X) - s.CentreX) * s.Dx * s.Dx),
                       std::abs((double(p.Y) - s.CentreY) * s.Dy * s.Dy),
                       std::abs((double(p.Z) - s.CentreZ) * s.Dz * s.Dz)};
  const int first[6] = {2, 2, 2, 2, 1, 1}, second[6] = {1, 1, 0, 0, 0, 0};
  std::vector<int32_t> single;  // cells (index into Cells) outside the long runs
  p.RunStart.clear();
  p.RunLength.clear();
  p.RunBin.clear();
  p.RunK.clear();
  p.RunA.clear();
  p.RunB.clear();
  for (int f = 0; f < 6; ++f) {
    const int half = u[first[f]] <= u[second[f]] ? 0 : 1;
    const int32_t lo = s.FaceBegin[size_t(half)][size_t(f)], hi = s.FaceBegin[size_t(half)][size_t(f) + 1];
    for (int32_t c = lo; c < hi;) {
      const int32_t bin = bins[size_t(s.Twin[size_t(c)])];
      int32_t e = c + 1;
      while (e < hi && bins[size_t(s.Twin[size_t(e)])] == bin) ++e;
      if (e - c >= FarFieldState::LongRun) {
        p.RunStart.push_back(c);
        p.RunLength.push_back(e - c);
        p.RunBin.push_back(bin);
        const int axis = s.Cells[size_t(c)].axis;
        p.RunK.push_back(fast ? 0.0f : float(4 * dtc * NormalStep(s, axis) / CellArea(s, axis)));
        for (int32_t q = c; q < e; ++q) {
          float A, B, C;
          factors(size_t(s.Twin[size_t(q)]), A, B, C);
          p.RunA.push_back(A);
          p.RunB.push_back(B);
        }
      } else {
        for (int32_t q = c; q < e; ++q) single.push_back(q);
      }
      c = e;
    }
  }
  // The other cells grouped by offset, in face order within an offset.
  p.BinEnd.assign(size_t(p.BinCount), 0);
  for (int32_t c : single) ++p.BinEnd[size_t(bins[size_t(s.Twin[size_t(c)])])];
  for (int q = 1; q < p.BinCount; ++q) p.BinEnd[size_t(q)] += p.BinEnd[size_t(q) - 1];
  std::vector<int32_t> next(size_t(p.BinCount), 0);
  for (int q = 1; q < p.BinCount; ++q) next[size_t(q)] = p.BinEnd[size_t(q) - 1];
  p.Cell.assign(single.size(), 0);
  p.A.assign(single.size(), 0);
  p.B.assign(single.size(), 0);
  p.C.assign(single.size(), 0);
  for (int32_t c : single) {
    const size_t t = size_t(s.Twin[size_t(c)]);
    const size_t at = size_t(next[size_t(bins[t])]++);
    p.Cell[at] = c;
    factors(t, p.A[at], p.B[at], p.C[at]);
  }
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

void Gather(FarFieldState& s, const SolverData& d) {
  const int gc = s.GatherComponents;
  const int n = int(s.Cells.size());
  constexpr int Chunk = 1024;
  const int chunks = (n + Chunk - 1) / Chunk;
  ParallelFor(
      0, chunks,
      [&](int ch) {
        const int lo = ch * Chunk, hi = std::min(n, lo + Chunk);
        for (int q = 0; q < gc; ++q) {
          const t3DSpaceArray& F = Component(d, q);
          const float* f = F.data();
          const ptrdiff_t st[3] = {ptrdiff_t(F.strideX()), ptrdiff_t(F.strideY()), 1};
          for (int c = lo; c < hi; ++c) {
            const FarFaceCell& cell = s.Cells[size_t(c)];
            const ptrdiff_t o = ptrdiff_t(cell.i) * st[0] + ptrdiff_t(cell.j) * st[1] + cell.k;
            const ptrdiff_t step = cell.sign * st[size_t(cell.axis)];
            s.Gathered[size_t(q) * size_t(n) + size_t(c)] = f[o];
            s.Gathered[size_t(gc + q) * size_t(n) + size_t(c)] = f[o + step] - f[o - step];
          }
        }
      },
      chunks > 8);
}

// Adds to out the sums over n cells of A F0 and B dF - C F0 (C = k A B when contiguous) for the components q < NC, in
// 32-bit lanes across the cells (the order is fixed by the code, not by the threads). The
// cells are G's columns at[i] (Index) or at + i (contiguous); G holds one row of `row`
// columns per quantity.
template <int NC, bool Index>
__attribute__((always_inline)) inline void SumCells(const int32_t* RV_RESTRICT at, int32_t from,
                                                    const float* RV_RESTRICT A,
                                                    const float* RV_RESTRICT B,
                                                    const float* RV_RESTRICT C, float k, int n,
                                                    const float* RV_RESTRICT G, size_t row,
                                                    int gc, double* RV_RESTRICT out) {
  for (int q0 = 0; q0 < NC; q0 += 3) {
    const float* f0 = G + size_t(q0) * row;
    const float *f1 = f0 + row, *f2 = f0 + 2 * row;
    const float* d0 = G + size_t(gc + q0) * row;
    const float *d1 = d0 + row, *d2 = d0 + 2 * row;
    float a0 = 0, a1 = 0, a2 = 0, b0 = 0, b1 = 0, b2 = 0;
#pragma omp simd reduction(+ : a0, a1, a2, b0, b1, b2)
    for (int i = 0; i < n; ++i) {
      const size_t c = Index ? size_t(at[i]) : size_t(from + i);
      const float a = A[i], b = B[i], cc = Index ? C[i] : k * a * b;
      a0 += a * f0[c];
      b0 += b * d0[c] - cc * f0[c];
      a1 += a * f1[c];
      b1 += b * d1[c] - cc * f1[c];
      a2 += a * f2[c];
      b2 += b * d2[c] - cc * f2[c];
    }
    out[q0] += a0, out[q0 + 1] += a1, out[q0 + 2] += a2;
    out[NC + q0] += b0, out[NC + q0 + 1] += b1, out[NC + q0 + 2] += b2;
  }
}

// One receiver's step: its cells summed per bin offset, then every offset added to the
// series.
template <int NC>
RV_KERNEL void AccumulateReceiver(const FarFieldState& s, tFarPoint& p, int32_t step,
                                  int32_t limit) {
  constexpr int W = 2 * NC;
  std::fill(p.Sums.begin(), p.Sums.end(), 0.0);
  const size_t row = s.Cells.size();
  const float* G = s.Gathered.data();
  const int gc = s.GatherComponents;
  size_t t = 0;
  for (size_t r = 0; r < p.RunStart.size(); ++r) {
    const int32_t len = p.RunLength[r], bin = p.RunBin[r];
    if (int64_t(bin) + step < limit)
      SumCells<NC, false>(nullptr, p.RunStart[r], p.RunA.data() + t, p.RunB.data() + t, nullptr,
                          p.RunK[r], len, G, row, gc, &p.Sums[size_t(bin) * W]);
    t += size_t(len);
  }
  int32_t lo = 0;
  for (int bin = 0; bin < p.BinCount; ++bin) {
    const int32_t hi = p.BinEnd[size_t(bin)];
    const int64_t nb = int64_t(bin) + step;
    if (nb >= limit) break;
    double* sum = &p.Sums[size_t(bin) * W];
    if (hi > lo)
      SumCells<NC, true>(p.Cell.data() + lo, 0, p.A.data() + lo, p.B.data() + lo, p.C.data() + lo,
                         0.0f, hi - lo, G, row, gc, sum);
    for (int q = 0; q < NC; ++q) AddRetardedSample(p.Series[size_t(q)], limit, nb, sum[q], sum[NC + q]);
    lo = hi;
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

int64_t FarPointTableValues(const FarBox& b) {
  const int64_t fx = std::max<int64_t>(0, int64_t(b.xmax) - b.xmin + 1);
  const int64_t fy = std::max<int64_t>(0, int64_t(b.ymax) - b.ymin + 1);
  const int64_t fz = std::max<int64_t>(0, int64_t(b.zmax) - b.zmin + 1);
  const int64_t ix = std::max<int64_t>(0, fx - 2), iy = std::max<int64_t>(0, fy - 2);
  const int64_t cells = 2 * fy * fz + 2 * ix * fz + 2 * ix * iy;
  return 5 * cells;  // three factors per cell, and at most one run (end, offset) per cell
}

bool SetupFarField(FarFieldState& s, const SolverData& d, const FarFieldSettings& settings,
                   int32_t seriesLength, std::string& message) {
  FreeFarField(s);
  const FarBox& b = settings.Box;
  if (!FarBoundsValid(b, d.Nx, d.Ny, d.Nz)) {
    message = BadBoxText;
    return false;
  }
  const bool withH = settings.CalcFarH && !settings.PointRows.empty();
  for (int q = 0; q < (withH ? 6 : 3); ++q) {
    const t3DSpaceArray& F = Component(d, q);
    if (!F.inside(b.xmin - 1, b.ymin - 1, b.zmin - 1) || !F.inside(b.xmax + 1, b.ymax + 1, b.zmax + 1)) {
      message = BadBoxText;
      return false;
    }
  }
  std::vector<std::array<float, 3>> points;
  for (size_t r = 0; r < settings.PointRows.size(); ++r) {
    std::array<float, 3> p{};
    for (int c = 0; c < 3; ++c) {
      const std::string& t = settings.PointRows[r][size_t(c)];
      double v = 0;
      if (!TryStrToFloat(t, v) || !std::isfinite(float(v))) {
        message = "Ошибка в задании координат точки дальнего поля в строке " + IntToStr(long(r) + 1) +
                  ": \"" + t + "\" не является числом";
        return false;
      }
      p[size_t(c)] = float(v);
    }
    points.push_back(p);
  }
  const bool anyDiagram = settings.DiagramOn[0] || settings.DiagramOn[1] || settings.DiagramOn[2];
  double radius = 0;
  if (anyDiagram && (!TryStrToFloat(settings.RadiusText, radius) || !std::isfinite(float(radius)))) {
    message = "Ошибка в задании радиуса диаграммы направленности: \"" + settings.RadiusText +
              "\" не является числом";
    return false;
  }
  if (anyDiagram && settings.PointCount < 1) {
    message = "Число точек диаграммы направленности должно быть не меньше 1";
    return false;
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
      FaceCells(b, half, s.Cells, s.FaceBegin[size_t(half)]);
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
      // the first half's rows run along z on the X and Y faces, along y on the Z faces
      const int32_t rowLen = f < 4 ? b.zmax - b.zmin + 1 : b.ymax - b.ymin - 1;
      const int32_t rows = len / rowLen;
      for (int32_t q = 0; q < len; ++q)  // q = v * rows + u in the second half
        s.Twin[size_t(b1 + q)] = b0 + (q % rows) * rowLen + q / rows;
    }
    s.Gathered.assign(s.Cells.size() * size_t(2 * s.GatherComponents), 0.0f);
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
        s.Diagrams[size_t(g)].push_back(std::move(fp));
      }
    }
    const int nr = s.ReceiverCount();
    const size_t users = s.FarPoints.size();
    std::vector<char> built(size_t(nr), 0);
    std::vector<char> memOk(size_t(nr), 1);
    ParallelFor(0, nr, [&](int r) {
      try {
        tFarPoint& p = s.Receiver(r);
        built[size_t(r)] = BuildTables(s, p, size_t(r) >= users && settings.FastDiagram);
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
        message = "Радиус диаграммы направленности \"" + settings.RadiusText +
                  "\" слишком велик: время прихода волны не определяется";
      FreeFarField(s);
      return false;
    }
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
  ParallelFor(0, nr, [&](int r) {
    tFarPoint& p = s.Receiver(r);
    if (p.Components == 6) AccumulateReceiver<6>(s, p, step, steps);
    else AccumulateReceiver<3>(s, p, step, steps);
  });
}

void FreeFarField(FarFieldState& s) {
  s.FarPoints = {};
  for (auto& dgm : s.Diagrams) dgm = {};
  s.Cells = {};
  s.Twin = {};
  s.CellCount = 0;
  s.Gathered = {};
  s.SeriesLength = 0;
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
    const float t0 = float(double(p.RMin) / double(s.FarC));
    auto series = [&](char field, char comp, const std::vector<float>& v) {
      const std::string name = FarPointFileName(field, p, comp);
      std::vector<std::string> lines;
      const int64_t end = std::min<int64_t>(int64_t(curStep) - 3, int64_t(v.size()));
      for (int64_t i = 0; i < end; ++i) {
        const float t = float(double(i) * s.TimeStepSec) + t0;
        std::string line = FormatTextReal(double(t) * 1e9) + " " +
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
