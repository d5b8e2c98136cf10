#include "solver/dissipation.h"

#include <cmath>

#include "solver/faces.h"
#include "solver/lumped.h"

namespace rv {

namespace {

// The incident wave's H is its E over this impedance, as the wave was laid out.
constexpr double kIncidentImpedance = 377.0;

inline float Cell(float Eb, float En, double h1, double h2, double h3, double h4, int comp,
                  const tDissipationEdge& g, const tDissipationStep& s) {
  double a = Eb, b = En, put = 0;
  if (!s.NoSource && s.Signal && comp != 3) {
    auto sv = [&](double t) { return SourceValue(s.Signal, false, t); };
    // E stands at CurTime, the H just computed half a step later.
    const double T = s.CurTime + s.TimeStep / 2;
    if (comp == 1) {
      const double h = sv(T - g.XInner) / kIncidentImpedance;
      h1 -= h;
      h2 -= h;
    } else {
      a -= sv(s.CurTime - g.XBoundary);
      b -= sv(s.CurTime - g.XInner);
      // Each H loses the incident value at its own position: Hz[p] lies half a cell beyond
      // the inner edge, Hz[p-1] half a cell before it.
      h3 -= sv(T - (g.XInner + s.HalfDx)) / kIncidentImpedance;
      h4 -= sv(T - (g.XInner - s.HalfDx)) / kIncidentImpedance;
      put = sv(s.CurTime + s.TimeStep - g.XBoundary);
    }
  }
  const double RB = g.RBoundary, RI = g.RInner, dt = s.TimeStep;
  const double D = RB - RI;
  double nw;
  if (dt - D >= 0) {
    // The wave crosses D within the step: the inner edge at t + dt - D, between its value
    // now and after this step's E update (the same increment the update will add).
    const double delta = (s.Ca - 1) * b + s.Cb * ((h1 - h2) * s.C1 - (h3 - h4) * s.C2);
    nw = (b + delta * (dt - D) / dt) * RI / RB;
  } else {
    // R*E at distance RB - dt, between the two edges, over RB.
    nw = (a * RB + (b * RI - a * RB) * dt / D) / RB;
  }
  return float(put + nw);
}

bool Shape(const t3DSpaceArray& a, int n1, int n2, int n3) {
  return !a.empty() && a.len1() == n1 && a.len2() == n2 && a.len3() == n3;
}

bool FieldsMatch(const SolverData& d) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  return Shape(d.Ex, nx, ny + 1, nz + 1) && Shape(d.Ey, nx + 1, ny, nz + 1) &&
         Shape(d.Ez, nx + 1, ny + 1, nz) && Shape(d.Hx, nx + 1, ny, nz) &&
         Shape(d.Hy, nx, ny + 1, nz) && Shape(d.Hz, nx, ny, nz + 1);
}

inline const float* Row3(const t3DSpaceArray& a, int i, int j) {
  return a.data() + size_t(i) * a.strideX() + size_t(j) * a.strideY();
}

class Faces {
public:
  Faces(SolverData& d, const EdgeCoefCache& cache, const ISignal* signal, const tScatterCentre& c)
      : d_(d), cache_(cache), c_(c) {
    s_.CurTime = d.CurTime;
    s_.TimeStep = d.TimeStep;
    s_.HalfDx = d.HalfDx;
    s_.Signal = signal;
    s_.NoSource = d.NoExternalField != 0;
  }

  // One row along z of component comp (1 = Ex, 2 = Ey, 3 = Ez): boundary edges (bi, bj, k),
  // k = k0..k1, from inner edges (ni, nj, k + dk). A Z face's edge is a row of one.
  void Row(int comp, int bi, int bj, int ni, int nj, int dk, int k0, int k1) const {
    const SolverData& d = d_;
    t3DSpaceArray& E = comp == 1 ? d_.Ex : comp == 2 ? d_.Ey : d_.Ez;
    float* eb = E.data() + size_t(bi) * E.strideX() + size_t(bj) * E.strideY();
    const float* en = Row3(E, ni, nj);
    // The inner edge's curl (H1 - H2)*C1 - (H3 - H4)*C2; o2, o4 shift H2, H4 along z.
    const float *h1, *h2, *h3, *h4;
    int o2 = 0, o4 = 0;
    tDissipationStep s = s_;
    char axis;
    switch (comp) {
      case 1:
        h1 = Row3(d.Hz, ni, nj); h2 = Row3(d.Hz, ni, nj - 1);
        h3 = Row3(d.Hy, ni, nj); h4 = h3; o4 = -1;
        s.C1 = d.CourantY; s.C2 = d.CourantZ; axis = 'X';
        break;
      case 2:
        h1 = Row3(d.Hx, ni, nj); h2 = h1; o2 = -1;
        h3 = Row3(d.Hz, ni, nj); h4 = Row3(d.Hz, ni - 1, nj);
        s.C1 = d.CourantZ; s.C2 = d.CourantX; axis = 'Y';
        break;
      default:
        h1 = Row3(d.Hy, ni, nj); h2 = Row3(d.Hy, ni - 1, nj);
        h3 = Row3(d.Hx, ni, nj); h4 = Row3(d.Hx, ni, nj - 1);
        s.C1 = d.CourantX; s.C2 = d.CourantY; axis = 'Z';
        break;
    }
    // Edge mid-points relative to the centre, metres; only z varies along the row.
    const double hx = comp == 1 ? 0.5 : 0, hy = comp == 2 ? 0.5 : 0, hz = comp == 3 ? 0.5 : 0;
    auto sq = [](double v) { return v * v; };
    const double bxy = sq((bi + hx - c_.I) * d.Dx) + sq((bj + hy - c_.J) * d.Dy);
    const double nxy = sq((ni + hx - c_.I) * d.Dx) + sq((nj + hy - c_.J) * d.Dy);
    tDissipationEdge g;
    if (comp == 1) {
      g.XInner = (ni - 0.5) * d.Dx;
      g.XBoundary = (bi - 0.5) * d.Dx;
    } else {
      g.XInner = (ni - 1) * d.Dx;
      g.XBoundary = (bi - 1) * d.Dx;
    }
    // A row of one class (the usual vacuum face) looks its coefficients up once.
    const int ax = axis - 'X';
    bool uniform = cache_.ClassOf(axis, ni, nj, k0 + dk) >= 0 &&
                   cache_.ClassOf(axis, ni, nj, k1 + dk) >= 0 &&
                   cache_.RowOf(ax, ni, nj).Uniform >= 0;
    if (uniform) {
      const EdgeCoefs& e = cache_.Table[size_t(cache_.RowOf(ax, ni, nj).Uniform)];
      s.Ca = e.Ca;
      s.Cb = e.Cb;
    }
    for (int k = k0; k <= k1; ++k) {
      const int kn = k + dk;
      g.RBoundary = std::sqrt(bxy + sq((k + hz - c_.K) * d.Dz));
      g.RInner = std::sqrt(nxy + sq((kn + hz - c_.K) * d.Dz));
      if (!uniform) {
        const EdgeCoefs e = cache_.Coefs(axis, ni, nj, kn);
        s.Ca = e.Ca;
        s.Cb = e.Cb;
      }
      eb[k] = Cell(eb[k], en[kn], h1[kn], h2[kn + o2], h3[kn], h4[kn + o4], comp, g, s);
    }
  }

  // Every pass writes only boundary edges and reads only edges no pass writes, so the rows
  // run on all cores with the same bits in any order.
  void Apply() const {
    const int nx = d_.Nx, ny = d_.Ny, nz = d_.Nz;
    const auto& F = d_.DissipationFace;
    const bool x1 = F[FaceX1], xm = F[FaceXMax], y1 = F[FaceY1], ym = F[FaceYMax];
    const bool z1 = F[FaceZ1], zm = F[FaceZMax];
    const bool par = ParallelFaces(nx, ny, nz);
    if (x1 || xm) {
#pragma omp parallel for schedule(static) if (par)
      for (int j = 1; j <= ny; ++j) {
        // X faces: Ez (rows j = 2..Ny-1), Ey (j = 1..Ny-1, k = 2..Nz-1), and the rims: Ez at
        // y = 1 and y = Ny and Ey at z = 1 and z = Nz, from the diagonal inner edge.
        for (int f = 0; f < 2; ++f) {
          if (!(f == 0 ? x1 : xm)) continue;
          const int b = f == 0 ? 1 : nx, n = f == 0 ? 2 : nx - 1;
          if (j >= 2 && j <= ny - 1) Row(3, b, j, n, j, 0, 1, nz - 1);
          if (j == 1) Row(3, b, 1, n, 2, 0, 1, nz - 1);
          if (j == ny) Row(3, b, ny, n, ny - 1, 0, 1, nz - 1);
          if (j <= ny - 1) {
            Row(2, b, j, n, j, 0, 2, nz - 1);
            Row(2, b, j, n, j, -1, nz, nz);
            Row(2, b, j, n, j, +1, 1, 1);
          }
        }
      }
    }
    if (z1 || zm) {
#pragma omp parallel for schedule(static) if (par)
      for (int i = 1; i <= nx - 1; ++i) {
        for (int j = 1; j <= ny - 1; ++j) {
          if (i >= 2) {  // Ey
            if (zm) Row(2, i, j, i, j, -1, nz, nz);
            if (z1) Row(2, i, j, i, j, +1, 1, 1);
          }
          if (j >= 2) {  // Ex
            if (zm) Row(1, i, j, i, j, -1, nz, nz);
            if (z1) Row(1, i, j, i, j, +1, 1, 1);
          }
        }
      }
    }
    if (y1 || ym) {
#pragma omp parallel for schedule(static) if (par)
      for (int i = 1; i <= nx - 1; ++i) {
        // Y faces: Ex (k = 2..Nz-1) and its rims at z = Nz and z = 1, and Ez (i = 2..Nx-1).
        for (int f = 0; f < 2; ++f) {
          if (!(f == 0 ? y1 : ym)) continue;
          const int b = f == 0 ? 1 : ny, n = f == 0 ? 2 : ny - 1;
          Row(1, i, b, i, n, 0, 2, nz - 1);
          Row(1, i, b, i, n, -1, nz, nz);
          Row(1, i, b, i, n, +1, 1, 1);
          if (i >= 2) Row(3, i, b, i, n, 0, 1, nz - 1);
        }
      }
    }
  }

private:
  SolverData& d_;
  const EdgeCoefCache& cache_;
  tScatterCentre c_;
  tDissipationStep s_;
};

}  // namespace

float DissipationCell(float Eb, float En, double H1, double H2, double H3, double H4,
                      int Component, const tDissipationEdge& g, const tDissipationStep& s) {
  return Cell(Eb, En, H1, H2, H3, H4, Component, g, s);
}

bool ApplyDissipation(SolverData& d, const EdgeCoefCache& cache, const ISignal* signal,
                      const tScatterCentre& centre) {
  if (d.Nx < 3 || d.Ny < 3 || d.Nz < 3 || !FieldsMatch(d) || !cache.Matches(d)) return false;
  Faces(d, cache, signal, centre).Apply();
  return true;
}

}  // namespace rv
