#include "solver/power.h"

#include <cmath>

#include "solver/kernelattrs.h"
#include "solver/workpool.h"

namespace rv {

namespace {

bool Shape(const t3DSpaceArray& a, int n1, int n2, int n3) {
  return !a.empty() && a.len1() == n1 && a.len2() == n2 && a.len3() == n3;
}

bool PowerArraysMatch(const SolverData& d) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  return Shape(d.PowerX, nx + 1, ny + 1, nz + 1) && Shape(d.PowerY, nx + 1, ny + 1, nz + 1) &&
         Shape(d.PowerZ, nx + 1, ny + 1, nz + 1);
}

bool ArraysMatch(const SolverData& d) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  if (nx < 2 || ny < 2 || nz < 2) return false;
  return Shape(d.Hx, nx + 1, ny, nz) && Shape(d.Hy, nx, ny + 1, nz) && Shape(d.Hz, nx, ny, nz + 1) &&
         Shape(d.Ex, nx, ny + 1, nz + 1) && Shape(d.Ey, nx + 1, ny, nz + 1) &&
         Shape(d.Ez, nx + 1, ny + 1, nz) && Shape(d.ExPrev, nx, ny + 1, nz + 1) &&
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

bool AccumulatePower(SolverData& d, bool Enabled, const StepFusion* fusion) {
  if (!Enabled) return true;
  if (!ArraysMatch(d)) return false;
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const double dx = d.Dx, dy = d.Dy, dz = d.Dz;
  const t3DSpaceArray &Hx = d.Hx, &Hy = d.Hy, &Hz = d.Hz;

  if (fusion && fusion->Power) {
    // The E pass added the power of every edge it updates but those of its plain rows; the
    // other edges have no current (a face of theirs would reach index 0) and add nothing.
    for (const auto& [i, j] : fusion->PlainRows[0])
      if (i >= 1 && i <= nx - 1 && j >= 2 && j <= ny - 1) {
        const float* hyj = Row(Hy, i, j);
        PowerRow(Row(d.PowerX, i, j), Row(Hz, i, j), Row(Hz, i, j - 1), hyj, hyj - 1, dz, dy,
                 Row(d.Ex, i, j), Row(d.ExPrev, i, j), dx, true, 2, nz - 1);
      }
    for (const auto& [i, j] : fusion->PlainRows[1])
      if (i >= 2 && i <= nx - 1 && j >= 1 && j <= ny - 1) {
        const float* hxj = Row(Hx, i, j);
        PowerRow(Row(d.PowerY, i, j), hxj, hxj - 1, Row(Hz, i, j), Row(Hz, i - 1, j), dx, dz,
                 Row(d.Ey, i, j), Row(d.EyPrev, i, j), dy, true, 2, nz - 1);
      }
    for (const auto& [i, j] : fusion->PlainRows[2])
      if (i >= 2 && i <= nx - 1 && j >= 2 && j <= ny - 1)
        PowerRow(Row(d.PowerZ, i, j), Row(Hy, i, j), Row(Hy, i - 1, j), Row(Hx, i, j),
                 Row(Hx, i, j - 1), dy, dx, Row(d.Ez, i, j), Row(d.EzPrev, i, j), dz, true, 1, nz - 1);
  } else {
    ParallelFor(1, nx, [&](int i) {
      for (int j = 1; j <= ny - 1; ++j) {
        // The first layer along z has no lower face for Ix and Iy.
        const int kk = 1;
        // Ix = (Hz[j] - Hz[j-1])*Dz - (Hy[k] - Hy[k-1])*Dy, needs j >= 2 and k >= 2
        const float* hyj = Row(Hy, i, j);
        PowerRow(Row(d.PowerX, i, j), Row(Hz, i, j), Row(Hz, i, j - 1), hyj, hyj - 1, dz, dy,
                 Row(d.Ex, i, j), Row(d.ExPrev, i, j), dx, false, kk, kk);
        PowerRow(Row(d.PowerX, i, j), Row(Hz, i, j), Row(Hz, i, j - 1), hyj, hyj - 1, dz, dy,
                 Row(d.Ex, i, j), Row(d.ExPrev, i, j), dx, j >= 2, 2, nz - 1);
        // Iy = (Hx[k] - Hx[k-1])*Dx - (Hz[i] - Hz[i-1])*Dz, needs i >= 2 and k >= 2
        const float* hxj = Row(Hx, i, j);
        PowerRow(Row(d.PowerY, i, j), hxj, hxj - 1, Row(Hz, i, j), Row(Hz, i - 1, j), dx, dz,
                 Row(d.Ey, i, j), Row(d.EyPrev, i, j), dy, false, kk, kk);
        PowerRow(Row(d.PowerY, i, j), hxj, hxj - 1, Row(Hz, i, j), Row(Hz, i - 1, j), dx, dz,
                 Row(d.Ey, i, j), Row(d.EyPrev, i, j), dy, i >= 2, 2, nz - 1);
        // Iz = (Hy[i] - Hy[i-1])*Dy - (Hx[j] - Hx[j-1])*Dx, needs i >= 2 and j >= 2
        PowerRow(Row(d.PowerZ, i, j), Row(Hy, i, j), Row(Hy, i - 1, j), Row(Hx, i, j),
                 Row(Hx, i, j - 1), dy, dx, Row(d.Ez, i, j), Row(d.EzPrev, i, j), dz,
                 i >= 2 && j >= 2, 1, nz - 1);
      }
    }, ParallelGrid(nx, ny, nz));
  }

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

bool ComputeSAR(SolverData& d) {
  d.SARCell.free();
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const int steps = d.CurStep - d.SARDelay;
  if (steps < 1 || nx < 2 || ny < 2 || nz < 2 || !PowerArraysMatch(d)) return false;
  if (!d.SARCell.allocate(nx + 1, ny + 1, nz + 1)) return false;
  t3DSpaceArray& S = d.SARCell;

  // An edge's power goes to the four cells round it, each weighted by the power of the
  // edge of the same axis diagonally opposite inside that cell; equal shares when all
  // four weights are 0.
  struct Cell { int i, j, k; };
  auto share = [&S](float P, const Cell (&c)[4], const float (&w)[4]) {
    const float W = w[0] + w[1] + w[2] + w[3];
    for (int n = 0; n < 4; ++n) {
      float& s = S(c[n].i, c[n].j, c[n].k);
      const double part = W == 0 ? double(P) / 4 : double(P) * double(w[n]) / double(W);
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
