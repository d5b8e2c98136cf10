#include "solver/mur.h"

#include "solver/faces.h"
#include "solver/workpool.h"

#include <cmath>

#include "solver/constants.h"

namespace rv {

namespace {

// The retarded signal for a front position P (metres, rounded to float as the injection
// at the PML interface does), times the component's factor.
double Retarded(const SolverData& d, const tIncidentWave& w, double P, double Offset, double factor) {
  const float p = float(P);
  const float tau = float(d.CurTime - double(p) - Offset);
  if (!(tau >= 0)) return 0;
  return factor * w.Signal->GetSignal(double(tau) / double(LightSpeed));
}

bool Shape2(const t2DSpaceArray& a, int n1, int n2) {
  return !a.empty() && a.len1() == n1 && a.len2() == n2;
}

bool Shape3(const t3DSpaceArray& a, int n1, int n2, int n3) {
  return !a.empty() && a.len1() == n1 && a.len2() == n2 && a.len3() == n3;
}

// The E arrays and the planes of every Mur face have the grid's lengths.
bool MurArraysMatch(const SolverData& d) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  if (nx < 2 || ny < 2 || nz < 2) return false;
  if (!Shape3(d.Ex, nx, ny + 1, nz + 1) || !Shape3(d.Ey, nx + 1, ny, nz + 1) ||
      !Shape3(d.Ez, nx + 1, ny + 1, nz))
    return false;
  const int shapes[12][2] = {{ny + 1, nz}, {ny + 1, nz}, {ny, nz + 1}, {ny, nz + 1},
                             {nx + 1, nz}, {nx + 1, nz}, {nx, nz + 1}, {nx, nz + 1},
                             {nx + 1, ny}, {nx + 1, ny}, {nx, ny + 1}, {nx, ny + 1}};
  // Plane p belongs to face: 0,2 X=1; 1,3 X=max; 4,6 Y=1; 5,7 Y=max; 8,10 Z=1; 9,11 Z=max.
  const int faceOf[12] = {FaceX1, FaceXMax, FaceX1, FaceXMax, FaceY1, FaceYMax,
                          FaceY1, FaceYMax, FaceZ1, FaceZMax, FaceZ1, FaceZMax};
  for (int p = 0; p < 12; ++p)
    if (d.MurFace[faceOf[p]] && !Shape2(d.MurPlanes[p], shapes[p][0], shapes[p][1])) return false;
  return true;
}


// E_b := W(b, 0) + k*((E_n - W(n, 0)) - (E_b - W(b, dt))) + S
inline float MurInc(double k, float en, float eb, float s, double wb0, double wn0, double wb1) {
  return float(wb0 + k * ((double(en) - wn0) - (double(eb) - wb1)) + double(s));
}

// The incident values of one boundary edge and its inner edge (they do not vary along z,
// nor along the row of a face pass). All 0 when no wave drives the run.
struct Inc {
  bool on = false;
  double b0 = 0, n0 = 0, b1 = 0;
};

// One row of a face: eb[k] from en[k] and s[k], k0..k1 (contiguous along k).
void MurRow(float* __restrict__ eb, const float* __restrict__ en, const float* __restrict__ s,
            double k, const Inc& w, int k0, int k1) {
  if (!w.on) {
    for (int c = k0; c <= k1; ++c) eb[c] = MurPlain(k, en[c], eb[c], s[c]);
  } else {
    for (int c = k0; c <= k1; ++c) eb[c] = MurInc(k, en[c], eb[c], s[c], w.b0, w.n0, w.b1);
  }
}

// dst[c] := src[c] - w, c = k0..k1.
void SaveRow(float* __restrict__ dst, const float* __restrict__ src, double w, int k0, int k1) {
  if (w == 0) {
    for (int c = k0; c <= k1; ++c) dst[c] = src[c];
  } else {
    for (int c = k0; c <= k1; ++c) dst[c] = float(double(src[c]) - w);
  }
}

// The Z faces touch two elements of every row along z, a row apart in memory: fetch the
// rows a little ahead so the misses overlap. (A prefetch past the array's end is harmless.)
constexpr int kAhead = 8;
inline void PrefetchEnds(const float* row, int nz) {
  __builtin_prefetch(row + 1, 1);
  __builtin_prefetch(row + nz, 1);
}

inline float* Row3(t3DSpaceArray& a, int i, int j) {
  return a.data() + size_t(i) * a.strideX() + size_t(j) * a.strideY();
}
inline float* Row2(t2DSpaceArray& a, int i) { return a.data() + size_t(i) * size_t(a.len2()); }

}  // namespace

double IncidentWaveCos(const SolverData& d, const tIncidentWave& w, int I, int J, bool NoSource,
                       double Offset) {
  if (NoSource || !w.Signal) return 0;
  const double a = w.IncAngle;
  const double P = a >= 0 ? std::cos(a) * (I - 1) * d.Dx + std::sin(a) * (d.Ny - J - 0.5) * d.Dy
                          : std::cos(-a) * (I - 1) * d.Dx + std::sin(-a) * (J - 0.5) * d.Dy;
  return Retarded(d, w, P, Offset, std::cos(a));
}

double IncidentWaveSin(const SolverData& d, const tIncidentWave& w, int I, int J, bool NoSource,
                       double Offset) {
  if (NoSource || !w.Signal) return 0;
  const double a = w.IncAngle;
  const double P = a >= 0 ? std::cos(a) * (I - 0.5) * d.Dx + std::sin(a) * (d.Ny - J) * d.Dy
                          : std::cos(-a) * (I - 0.5) * d.Dx + std::sin(-a) * (J - 1) * d.Dy;
  return Retarded(d, w, P, Offset, std::sin(a));
}

bool ApplyMur(SolverData& d, const tIncidentWave& wave, const StepFusion* fusion) {
  if (!MurArraysMatch(d)) return false;
  const IncidentWavePass pass(d, wave);
  const tIncidentWave& w = pass.get();
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const bool noSrc = d.NoExternalField != 0;
  const bool on = !noSrc && w.Signal;
  const double dt = d.TimeStep;
  const double kx = MurCoef(d.CourantX), ky = MurCoef(d.CourantY), kz = MurCoef(d.CourantZ);
  // The incident values of the Ey-like boundary edge (bi, bj) and its inner edge (ni, nj).
  auto incCos = [&](int bi, int bj, int ni, int nj) {
    if (!on) return Inc{};
    return Inc{true, IncidentWaveCos(d, w, bi, bj, false, 0), IncidentWaveCos(d, w, ni, nj, false, 0),
               IncidentWaveCos(d, w, bi, bj, false, dt)};
  };
  auto incSin = [&](int bi, int bj, int ni, int nj) {
    if (!on) return Inc{};
    return Inc{true, IncidentWaveSin(d, w, bi, bj, false, 0), IncidentWaveSin(d, w, ni, nj, false, 0),
               IncidentWaveSin(d, w, bi, bj, false, dt)};
  };
  t3DSpaceArray &Ex = d.Ex, &Ey = d.Ey, &Ez = d.Ez;
  auto& P = d.MurPlanes;
  const auto& F = d.MurFace;
  const Inc none;

  // X faces, rows along k: Ez (planes 0/1) and Ey (planes 2/3) of row j.
  auto xEz = [&](int j, int k0, int k1) {
    if (F[FaceX1]) MurRow(Row3(Ez, 1, j), Row3(Ez, 2, j), Row2(P[0], j), kx, none, k0, k1);
    if (F[FaceXMax]) MurRow(Row3(Ez, nx, j), Row3(Ez, nx - 1, j), Row2(P[1], j), kx, none, k0, k1);
  };
  auto xEy = [&](int j, int k0, int k1) {
    if (F[FaceX1]) MurRow(Row3(Ey, 1, j), Row3(Ey, 2, j), Row2(P[2], j), kx, incCos(1, j, 2, j), k0, k1);
    if (F[FaceXMax])
      MurRow(Row3(Ey, nx, j), Row3(Ey, nx - 1, j), Row2(P[3], j), kx, incCos(nx, j, nx - 1, j), k0, k1);
  };
  // Y faces, rows along k: Ex (planes 6/7) of row i.
  auto yEx = [&](int i, int k0, int k1) {
    if (F[FaceY1]) MurRow(Row3(Ex, i, 1), Row3(Ex, i, 2), Row2(P[6], i), ky, incSin(i, 1, i, 2), k0, k1);
    if (F[FaceYMax])
      MurRow(Row3(Ex, i, ny), Row3(Ex, i, ny - 1), Row2(P[7], i), ky, incSin(i, ny, i, ny - 1), k0, k1);
  };
  // Z faces: one edge (i, j) of component a at k = 1 and k = nz (Z=max first).
  auto zEdge = [&](t3DSpaceArray& a, int pMax, int p1, int i, int j, const Inc& v) {
    float* r = Row3(a, i, j);
    PrefetchEnds(r + kAhead * a.strideY(), nz);
    if (F[FaceZMax]) r[nz] = on ? MurInc(kz, r[nz - 1], r[nz], P[pMax](i, j), v.b0, v.n0, v.b1)
                                : MurPlain(kz, r[nz - 1], r[nz], P[pMax](i, j));
    if (F[FaceZ1]) r[1] = on ? MurInc(kz, r[2], r[1], P[p1](i, j), v.b0, v.n0, v.b1)
                             : MurPlain(kz, r[2], r[1], P[p1](i, j));
  };

  // Passes 1-6 each write their rows or edges from values none of them writes, so they run
  // as one pass on all cores with the same bits.
  const bool par = ParallelFaces(nx, ny, nz);
  std::vector<LoopPart> parts;
  // 1. X faces, Ez; 2. X faces, Ey; 3. Y faces, Ex; 4. Y faces, Ez
  if (F[FaceX1] || F[FaceXMax]) {
    parts.push_back({2, ny, [&](int j) { xEz(j, 1, nz - 1); }});
    parts.push_back({1, ny, [&](int j) { xEy(j, 2, nz - 1); }});
  }
  if (F[FaceY1] || F[FaceYMax]) {
    parts.push_back({1, nx, [&](int i) { yEx(i, 2, nz - 1); }});
    parts.push_back({2, nx, [&](int i) {
      if (F[FaceY1]) MurRow(Row3(Ez, i, 1), Row3(Ez, i, 2), Row2(P[4], i), ky, none, 1, nz - 1);
      if (F[FaceYMax]) MurRow(Row3(Ez, i, ny), Row3(Ez, i, ny - 1), Row2(P[5], i), ky, none, 1, nz - 1);
    }});
  }
  if ((F[FaceZMax] || F[FaceZ1]) && fusion && fusion->MurZ) {
    // 5-6 on the rows the E pass left plain (no incident wave when folded).
    for (const auto& [i, j] : fusion->PlainRows[1])
      if (i >= 2 && i <= nx - 1 && j >= 1 && j <= ny - 1) zEdge(Ey, 9, 8, i, j, none);
    for (const auto& [i, j] : fusion->PlainRows[0])
      if (i >= 1 && i <= nx - 1 && j >= 2 && j <= ny - 1) zEdge(Ex, 11, 10, i, j, none);
  } else if (F[FaceZMax] || F[FaceZ1]) {
    // 5. Z faces, Ey (the incident wave does not vary along z: W(b) = W(n))
    parts.push_back({2, nx, [&](int i) {
      for (int j = 1; j <= ny - 1; ++j) {
        Inc v;
        if (on) {
          v.on = true;
          v.b0 = v.n0 = IncidentWaveCos(d, w, i, j, false, 0);
          v.b1 = IncidentWaveCos(d, w, i, j, false, dt);
        }
        zEdge(Ey, 9, 8, i, j, v);
      }
    }});
    // 6. Z faces, Ex
    parts.push_back({1, nx, [&](int i) {
      for (int j = 2; j <= ny - 1; ++j) {
        Inc v;
        if (on) {
          v.on = true;
          v.b0 = v.n0 = IncidentWaveSin(d, w, i, j, false, 0);
          v.b1 = IncidentWaveSin(d, w, i, j, false, dt);
        }
        zEdge(Ex, 11, 10, i, j, v);
      }
    }});
  }
  ParallelForParts(parts, par);
  // 7-9. Rim lines: those parallel to z and y belong to the X faces, those parallel to x to
  // the Y faces; they come last because they read inner values passes 4-6 just wrote.
  xEz(1, 1, nz - 1);
  xEz(ny, 1, nz - 1);
  for (int j = 1; j <= ny - 1; ++j) {
    xEy(j, 1, 1);
    xEy(j, nz, nz);
  }
  for (int i = 1; i <= nx - 1; ++i) {
    yEx(i, 1, 1);
    yEx(i, nz, nz);
  }
  return true;
}

bool SaveMurPlanes(SolverData& d, const tIncidentWave& wave, const StepFusion* fusion) {
  if (!MurArraysMatch(d)) return false;
  const IncidentWavePass pass(d, wave);
  const tIncidentWave& w = pass.get();
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const bool on = d.NoExternalField == 0 && w.Signal;
  auto Wc = [&](int i, int j) { return on ? IncidentWaveCos(d, w, i, j, false, 0) : 0.0; };
  auto Ws = [&](int i, int j) { return on ? IncidentWaveSin(d, w, i, j, false, 0) : 0.0; };
  t3DSpaceArray &Ex = d.Ex, &Ey = d.Ey, &Ez = d.Ez;
  auto& P = d.MurPlanes;
  const auto& F = d.MurFace;
  const bool par = ParallelFaces(nx, ny, nz);

  // Every plane is saved from E alone: all in one pass.
  std::vector<LoopPart> parts;
  if (F[FaceX1] || F[FaceXMax]) {
    parts.push_back({1, ny + 1, [&](int j) {
      if (F[FaceX1]) SaveRow(Row2(P[0], j), Row3(Ez, 2, j), 0, 1, nz - 1);
      if (F[FaceXMax]) SaveRow(Row2(P[1], j), Row3(Ez, nx - 1, j), 0, 1, nz - 1);
    }});
    parts.push_back({1, ny, [&](int j) {
      if (F[FaceX1]) SaveRow(Row2(P[2], j), Row3(Ey, 2, j), Wc(2, j), 1, nz);
      if (F[FaceXMax]) SaveRow(Row2(P[3], j), Row3(Ey, nx - 1, j), Wc(nx - 1, j), 1, nz);
    }});
  }
  if (F[FaceY1] || F[FaceYMax]) {
    parts.push_back({1, nx + 1, [&](int i) {
      if (F[FaceY1]) SaveRow(Row2(P[4], i), Row3(Ez, i, 2), 0, 1, nz - 1);
      if (F[FaceYMax]) SaveRow(Row2(P[5], i), Row3(Ez, i, ny - 1), 0, 1, nz - 1);
    }});
    parts.push_back({1, nx, [&](int i) {
      if (F[FaceY1]) SaveRow(Row2(P[6], i), Row3(Ex, i, 2), Ws(i, 2), 1, nz);
      if (F[FaceYMax]) SaveRow(Row2(P[7], i), Row3(Ex, i, ny - 1), Ws(i, ny - 1), 1, nz);
    }});
  }
  auto less = [](float e, double inc) { return inc == 0 ? e : float(double(e) - inc); };
  auto saveEy = [&](int i, int j) {
    const float* r = Row3(Ey, i, j);
    PrefetchEnds(r + kAhead * Ey.strideY(), nz);
    const double wc = Wc(i, j);
    if (F[FaceZ1]) P[8](i, j) = less(r[2], wc);
    if (F[FaceZMax]) P[9](i, j) = less(r[nz - 1], wc);
  };
  auto saveEx = [&](int i, int j) {
    const float* r = Row3(Ex, i, j);
    PrefetchEnds(r + kAhead * Ex.strideY(), nz);
    const double ws = Ws(i, j);
    if (F[FaceZ1]) P[10](i, j) = less(r[2], ws);
    if (F[FaceZMax]) P[11](i, j) = less(r[nz - 1], ws);
  };
  if (F[FaceZ1] || F[FaceZMax]) {
    if (fusion && fusion->MurZ) {
      // The E pass saved its own rows: here the rows it does not update and the plain ones.
      for (int j = 1; j <= ny - 1; ++j) { saveEy(1, j); saveEy(nx, j); }
      for (int i = 1; i <= nx - 1; ++i) { saveEx(i, 1); saveEx(i, ny); }
      for (const auto& [i, j] : fusion->PlainRows[1])
        if (i >= 2 && i <= nx - 1 && j >= 1 && j <= ny - 1) saveEy(i, j);
      for (const auto& [i, j] : fusion->PlainRows[0])
        if (i >= 1 && i <= nx - 1 && j >= 2 && j <= ny - 1) saveEx(i, j);
    } else {
      parts.push_back({1, nx + 1, [&](int i) {
        for (int j = 1; j <= ny - 1; ++j) saveEy(i, j);
      }});
      parts.push_back({1, nx, [&](int i) {
        for (int j = 1; j <= ny; ++j) saveEx(i, j);
      }});
    }
  }
  ParallelForParts(parts, par);
  return true;
}

}  // namespace rv
