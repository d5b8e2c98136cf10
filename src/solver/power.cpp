#include "solver/power.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "solver/edgematerial.h"
#include "solver/kernelattrs.h"
#include "solver/workpool.h"
#include "solver/yee.h"

namespace rv {

namespace {

bool Shape(const t3DSpaceArray& a, int n1, int n2, int n3) { return a.hasShape(n1, n2, n3); }

bool PowerArraysMatch(const SolverData& d) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  return Shape(d.PowerX, nx + 1, ny + 1, nz + 1) && Shape(d.PowerY, nx + 1, ny + 1, nz + 1) &&
         Shape(d.PowerZ, nx + 1, ny + 1, nz + 1);
}

bool ArraysMatch(const SolverData& d) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  return FieldArraysMatch(d) && Shape(d.ExPrev, nx, ny + 1, nz + 1) &&
         Shape(d.EyPrev, nx + 1, ny, nz + 1) && Shape(d.EzPrev, nx + 1, ny + 1, nz) &&
         PowerArraysMatch(d);
}

inline const float* Row(const t3DSpaceArray& a, int i, int j) {
  return a.data() + size_t(i) * a.strideX() + size_t(j) * a.strideY();
}
inline float* Row(t3DSpaceArray& a, int i, int j) {
  return a.data() + size_t(i) * a.strideX() + size_t(j) * a.strideY();
}

// The current through an edge's face (circulation of H round it) and the edge's voltage
// averaged over the step, both held as 32-bit floats; their product adds to the sum.
// I = (p1 - p0)*s1 - (q1 - q0)*s2, or 0 where the face would reach index 0.
RV_KERNEL void PowerRow(float* RV_RESTRICT pw, const float* RV_RESTRICT p1,
                        const float* RV_RESTRICT p0, const float* RV_RESTRICT q1,
                        const float* RV_RESTRICT q0, double s1, double s2,
                        const float* RV_RESTRICT e, const float* RV_RESTRICT ep, double len,
                        bool on, int k0, int k1) {
  for (int k = k0; k <= k1; ++k) {
    const float I = on ? float((double(p1[k]) - double(p0[k])) * s1 -
                               (double(q1[k]) - double(q0[k])) * s2)
                       : 0.0f;
    const float V = float((double(ep[k]) + double(e[k])) / 2 * len);
    pw[k] = float(double(pw[k]) + double(I) * double(V));
  }
}

void CopyLayerY(t3DSpaceArray& a, int dst, int src, int i1, int k1) {
  for (int i = 1; i <= i1; ++i)
    for (int k = 1; k <= k1; ++k) a(i, dst, k) = a(i, src, k);
}
void CopyLayerZ(t3DSpaceArray& a, int dst, int src, int i1, int j1) {
  for (int i = 1; i <= i1; ++i)
    for (int j = 1; j <= j1; ++j) a(i, j, dst) = a(i, j, src);
}
void CopyLayerX(t3DSpaceArray& a, int dst, int src, int j1, int k1) {
  for (int j = 1; j <= j1; ++j)
    for (int k = 1; k <= k1; ++k) a(dst, j, k) = a(src, j, k);
}

bool SymFace(const SolverData& d, int f) { return d.SymEFace[f] || d.SymHFace[f]; }

}  // namespace

bool AccumulatePower(SolverData& d, bool Enabled, const StepFusion* fusion,
                     const std::function<bool(SolverData&)>& settle) {
  if (!Enabled) return true;
  if (!ArraysMatch(d)) return false;
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const double dx = d.Dx, dy = d.Dy, dz = d.Dz;
  const t3DSpaceArray &Hx = d.Hx, &Hy = d.Hy, &Hz = d.Hz;
  const PowerSpans* spans = fusion && fusion->Spans.Built() ? &fusion->Spans : nullptr;
  const std::array<int, 6> range[3] = {UpdatedRange(0, nx, ny, nz), UpdatedRange(1, nx, ny, nz),
                                       UpdatedRange(2, nx, ny, nz)};

  // One row of the edges the E update covers (the others carry no current: a face of
  // theirs would reach index 0). I as the circulation of H round the edge's face:
  //   Ix = (Hz[j] - Hz[j-1])*Dz - (Hy[k] - Hy[k-1])*Dy
  //   Iy = (Hx[k] - Hx[k-1])*Dx - (Hz[i] - Hz[i-1])*Dz
  //   Iz = (Hy[i] - Hy[i-1])*Dy - (Hx[j] - Hx[j-1])*Dx
  auto addRow = [&](int a, int i, int j) {
    const std::array<int, 6>& r = range[a];
    if (i < r[0] || i > r[1] || j < r[2] || j > r[3]) return;
    const float *p1, *p0, *q1, *q0, *e, *ep;
    float* pw;
    double s1, s2, len;
    switch (a) {
      case 0:
        p1 = Row(Hz, i, j); p0 = Row(Hz, i, j - 1); q1 = Row(Hy, i, j); q0 = q1 - 1;
        s1 = dz; s2 = dy; len = dx; pw = Row(d.PowerX, i, j); e = Row(d.Ex, i, j); ep = Row(d.ExPrev, i, j);
        break;
      case 1:
        p1 = Row(Hx, i, j); p0 = p1 - 1; q1 = Row(Hz, i, j); q0 = Row(Hz, i - 1, j);
        s1 = dx; s2 = dz; len = dy; pw = Row(d.PowerY, i, j); e = Row(d.Ey, i, j); ep = Row(d.EyPrev, i, j);
        break;
      default:
        p1 = Row(Hy, i, j); p0 = Row(Hy, i - 1, j); q1 = Row(Hx, i, j); q0 = Row(Hx, i, j - 1);
        s1 = dy; s2 = dx; len = dz; pw = Row(d.PowerZ, i, j); e = Row(d.Ez, i, j); ep = Row(d.EzPrev, i, j);
        break;
    }
    if (!spans) {
      PowerRow(pw, p1, p0, q1, q0, s1, s2, e, ep, len, true, r[4], r[5]);
      return;
    }
    const auto [runs, n] = spans->Of(a, i, j);
    for (int s = 0; s < n; ++s)
      PowerRow(pw, p1, p0, q1, q0, s1, s2, e, ep, len, true, std::max(runs[s].K0, r[4]),
               std::min(runs[s].K1, r[5]));
  };

  if (fusion && fusion->Power) {
    // The E pass added the power of every edge it updates but those of its plain rows.
    for (int a = 0; a < 3; ++a)
      for (const auto& [i, j] : fusion->PlainRows[size_t(a)]) addRow(a, i, j);
  } else {
    ParallelFor(1, nx, [&](int i) {
      for (int a = 0; a < 3; ++a)
        for (int j = range[a][2]; j <= range[a][3]; ++j) addRow(a, i, j);
    }, ParallelGrid(nx, ny, nz));
  }

  if (settle && !settle(d)) return false;
  // The faces of a symmetry plane carry what the first inner layer carries.
  t3DSpaceArray &PX = d.PowerX, &PY = d.PowerY, &PZ = d.PowerZ;
  if (SymFace(d, FaceY1)) { CopyLayerY(PX, 1, 2, nx - 1, nz); CopyLayerY(PZ, 1, 2, nx, nz - 1); }
  if (SymFace(d, FaceYMax)) {
    CopyLayerY(PX, ny, ny - 1, nx - 1, nz);
    CopyLayerY(PZ, ny, ny - 1, nx, nz - 1);
  }
  if (SymFace(d, FaceZMax)) {
    CopyLayerZ(PX, nz, nz - 1, nx - 1, ny);
    CopyLayerZ(PY, nz, nz - 1, nx, ny - 1);
  }
  if (SymFace(d, FaceZ1)) { CopyLayerZ(PX, 1, 2, nx - 1, ny); CopyLayerZ(PY, 1, 2, nx, ny - 1); }
  if (SymFace(d, FaceXMax)) {
    CopyLayerX(PY, nx, nx - 1, ny - 1, nz);
    CopyLayerX(PZ, nx, nx - 1, ny, nz - 1);
  }
  if (SymFace(d, FaceX1)) { CopyLayerX(PY, 1, 2, ny - 1, nz); CopyLayerX(PZ, 1, 2, ny, nz - 1); }
  return true;
}

void PowerSpans::Build(const SolverData& d, const EdgeCoefCache& cache,
                       const std::vector<std::array<int, 4>>& readEdges) {
  Clear();
  if (!cache.Matches(d)) return;
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  stride_ = size_t(ny) + 1;
  std::vector<uint8_t> absorbs(cache.Table.size());
  for (size_t c = 0; c < absorbs.size(); ++c) {
    const EdgeCoefs& t = cache.Table[c];
    absorbs[c] = t.Ca != 1 || t.DebyeCoef != 0 || t.DebyeDecay != 1;
  }
  std::vector<std::array<int, 4>> reads = readEdges;
  std::sort(reads.begin(), reads.end());
  size_t next = 0;  // first read edge not yet placed
  std::vector<uint8_t> on(size_t(nz) + 1);
  for (int a = 0; a < 3; ++a) {
    std::vector<uint32_t>& start = start_[size_t(a)];
    start.assign(size_t(nx + 1) * stride_ + 1, 0);
    const std::array<int, 6> r = UpdatedRange(a, nx, ny, nz);
    for (int i = 0; i <= nx; ++i)
      for (int j = 0; j <= ny; ++j) {
        const size_t first = runs_.size();
        start[size_t(i) * stride_ + size_t(j)] = uint32_t(first);
        auto add = [&](int k0, int k1) {
          if (runs_.size() > first && runs_.back().K1 + 1 == k0) runs_.back().K1 = k1;
          else runs_.push_back(Run{k0, k1});
        };
        const std::array<int, 3> key{a, i, j};
        auto before = [&](const std::array<int, 4>& e) {
          return std::lexicographical_compare(e.begin(), e.begin() + 3, key.begin(), key.end());
        };
        while (next < reads.size() && before(reads[next])) ++next;
        size_t last = next;  // read edges of this row: [next, last)
        while (last < reads.size() && reads[last][0] == a && reads[last][1] == i && reads[last][2] == j) ++last;
        if (i < r[0] || i > r[1] || j < r[2] || j > r[3] || r[4] > r[5]) { next = last; continue; }
        const EdgeCoefCache::Row& row = cache.RowOf(a, i, j);
        if (row.Uniform >= 0 && next == last) {
          if (absorbs[size_t(row.Uniform)]) add(r[4], r[5]);
          continue;
        }
        for (int k = r[4]; k <= r[5]; ++k) {
          int64_t c = 0;
          if (row.Uniform >= 0) c = row.Uniform;
          else if (row.SegCount > 0) {
            const EdgeCoefCache::Seg* sg = cache.Segs.data() + row.Offset;
            int s = 0;
            while (s + 1 < row.SegCount && sg[s + 1].K0 <= k) ++s;
            c = sg[s].Class;
          } else {
            c = cache.Wide ? int64_t(cache.Index32[size_t(row.Offset + k)])
                           : int64_t(cache.Index16[size_t(row.Offset + k)]);
          }
          on[size_t(k)] = absorbs[size_t(c)];
        }
        for (; next < last; ++next)
          if (reads[next][3] >= r[4] && reads[next][3] <= r[5]) on[size_t(reads[next][3])] = 1;
        for (int k = r[4]; k <= r[5]; ++k)
          if (on[size_t(k)]) add(k, k);
      }
    start.back() = uint32_t(runs_.size());
  }
  built_ = true;
}

bool PowerSumsFinite(const SolverData& d) {
  for (const t3DSpaceArray* a : {&d.PowerX, &d.PowerY, &d.PowerZ})
    for (size_t i = 0, n = a->size(); i < n; ++i)
      if (!std::isfinite(a->data()[i])) return false;
  return true;
}

bool ComputeSAR(SolverData& d, const tSpace* space, const std::array<tLayer, MaxLayers>* layers) {
  d.SARCell.free();
  const tSpace& model = space ? *space : d.Space;
  const std::array<tLayer, MaxLayers>& mats = layers ? *layers : d.Layers;
  // Which materials lose energy as the run stepped them (conductive, or dispersive in a
  // run with polar dielectrics); empty and switched-off cells are vacuum.
  std::array<bool, MaxLayers> lossy{};
  for (size_t m = 1; m < mats.size(); ++m) {
    const tLayer& L = mats[m];
    lossy[m] = L.On && (L.Sigma > 0 || (d.PolarDielectrics && L.Tau > 0 && L.EpsStatic != L.EpsInf));
  }
  auto absorbs = [&](int i, int j, int k) {
    if (!model.inside(i, j, k)) return false;
    const int m = model(i, j, k);
    return m < MaxLayers && lossy[size_t(m)];
  };
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const int steps = d.CurStep - d.SARDelay;
  if (steps < 1 || nx < 2 || ny < 2 || nz < 2 || !PowerArraysMatch(d)) return false;
  if (!d.SARCell.allocate(nx + 1, ny + 1, nz + 1)) return false;
  t3DSpaceArray& S = d.SARCell;

  // An edge's power is the loss of the materials round it: it goes to those of its four
  // cells whose material loses energy, each weighted by the power of the edge of the same
  // axis diagonally opposite inside that cell, in equal shares when those weights are 0.
  // A cell of a lossless material gets none; an edge with no such cell round it loses
  // nothing (its sum is the field energy it holds, or was kept for a reader).
  struct Cell { int i, j, k; };
  auto share = [&S, &absorbs](float P, const Cell (&c)[4], const float (&weight)[4]) {
    float w[4];
    int count = 0;
    for (int n = 0; n < 4; ++n) {
      const bool on = absorbs(c[n].i, c[n].j, c[n].k);
      w[n] = on ? weight[n] : 0.0f;
      count += on;
    }
    if (count == 0) return;
    const float W = w[0] + w[1] + w[2] + w[3];
    for (int n = 0; n < 4; ++n) {
      if (!absorbs(c[n].i, c[n].j, c[n].k)) continue;
      float& s = S(c[n].i, c[n].j, c[n].k);
      const double part = W == 0 ? double(P) / count : double(P) * double(w[n]) / double(W);
      s = float(double(s) + part);
    }
  };
  const t3DSpaceArray &PX = d.PowerX, &PY = d.PowerY, &PZ = d.PowerZ;
  for (int i = 1; i <= nx - 1; ++i)
    for (int j = 2; j <= ny - 1; ++j)
      for (int k = 2; k <= nz - 1; ++k) {
        const Cell c[4] = {{i, j, k}, {i, j - 1, k}, {i, j, k - 1}, {i, j - 1, k - 1}};
        const float w[4] = {std::fabs(PX(i, j + 1, k + 1)), std::fabs(PX(i, j - 1, k + 1)),
                            std::fabs(PX(i, j + 1, k - 1)), std::fabs(PX(i, j - 1, k - 1))};
        share(PX(i, j, k), c, w);
      }
  for (int i = 2; i <= nx - 1; ++i)
    for (int j = 1; j <= ny - 1; ++j)
      for (int k = 2; k <= nz - 1; ++k) {
        const Cell c[4] = {{i, j, k}, {i, j, k - 1}, {i - 1, j, k}, {i - 1, j, k - 1}};
        const float w[4] = {std::fabs(PY(i + 1, j, k + 1)), std::fabs(PY(i + 1, j, k - 1)),
                            std::fabs(PY(i - 1, j, k + 1)), std::fabs(PY(i - 1, j, k - 1))};
        share(PY(i, j, k), c, w);
      }
  for (int i = 2; i <= nx - 1; ++i)
    for (int j = 2; j <= ny - 1; ++j)
      for (int k = 1; k <= nz - 1; ++k) {
        const Cell c[4] = {{i, j, k}, {i - 1, j, k}, {i, j - 1, k}, {i - 1, j - 1, k}};
        const float w[4] = {std::fabs(PZ(i + 1, j + 1, k)), std::fabs(PZ(i - 1, j + 1, k)),
                            std::fabs(PZ(i + 1, j - 1, k)), std::fabs(PZ(i - 1, j - 1, k))};
        share(PZ(i, j, k), c, w);
      }

  // A symmetry plane halves the cells next to it: double them. Faces in face order.
  auto dbl = [&S](int i0, int i1, int j0, int j1, int k0, int k1) {
    for (int i = i0; i <= i1; ++i)
      for (int j = j0; j <= j1; ++j)
        for (int k = k0; k <= k1; ++k) S(i, j, k) = float(double(S(i, j, k)) * 2);
  };
  if (SymFace(d, FaceY1)) dbl(1, nx - 1, 1, 1, 1, nz - 1);
  if (SymFace(d, FaceYMax)) dbl(1, nx - 1, ny - 1, ny - 1, 1, nz - 1);
  if (SymFace(d, FaceZMax)) dbl(1, nx - 1, 1, ny - 1, nz - 1, nz - 1);
  if (SymFace(d, FaceZ1)) dbl(1, nx - 1, 1, ny - 1, 1, 1);
  if (SymFace(d, FaceXMax)) dbl(nx - 1, nx - 1, 1, ny - 1, 1, nz - 1);
  if (SymFace(d, FaceX1)) dbl(1, 1, 1, ny - 1, 1, nz - 1);

  for (int i = 1; i <= nx - 1; ++i)
    for (int j = 1; j <= ny - 1; ++j)
      for (int k = 1; k <= nz - 1; ++k) S(i, j, k) = float(double(S(i, j, k)) / steps);
  return true;
}

}  // namespace rv
