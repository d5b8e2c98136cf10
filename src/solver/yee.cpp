#include "solver/yee.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>

#include "solver/constants.h"
#include "solver/workpool.h"

// Row kernels: one row along z, pointers hoisted and restrict-qualified so the loops
// vectorise. Each row kernel is built twice (AVX2 and baseline) and picked at load time;
// no FMA contraction is allowed, so both give the same bits.
#include "solver/kernelattrs.h"
#define RV_INLINE inline __attribute__((always_inline))

namespace rv {

namespace {

inline bool Threaded(const SolverData& d) { return ParallelGrid(d.Nx, d.Ny, d.Nz); }

// ---- H rows: out[k] -= ((p1[k]-p0[k])*c1 - (q1[k]-q0[k])*c2) * Q

RV_KERNEL void HRowUniform(float* RV_RESTRICT out, const float* RV_RESTRICT p1,
                           const float* RV_RESTRICT p0, const float* RV_RESTRICT q1,
                           const float* RV_RESTRICT q0, double c1, double c2, double q,
                           int k0, int k1) {
  for (int k = k0; k <= k1; ++k) {
    const double curl = (double(p1[k]) - double(p0[k])) * c1 - (double(q1[k]) - double(q0[k])) * c2;
    out[k] = float(double(out[k]) - curl * q);
  }
}

RV_KERNEL void HRowCell(float* RV_RESTRICT out, const float* RV_RESTRICT p1,
                        const float* RV_RESTRICT p0, const float* RV_RESTRICT q1,
                        const float* RV_RESTRICT q0, double c1, double c2,
                        const float* RV_RESTRICT qc, int k0, int k1) {
  for (int k = k0; k <= k1; ++k) {
    const double curl = (double(p1[k]) - double(p0[k])) * c1 - (double(q1[k]) - double(q0[k])) * c2;
    out[k] = float(double(out[k]) - curl * double(qc[k]));
  }
}

// ---- E rows: out[k] = out[k]*Ca + ((p1[k]-p0[k])*c1 - (q1[k]-q0[k])*c2) * Cb
//
// A row either keeps the E it overwrites in prev (for the absorbed-power pass), or adds the
// step's absorbed power of every edge to pw right away, exactly as AccumulatePower would
// from the same H and E: I = (p1-p0)*s1 - (q1-q0)*s2 and V = (E_old + E_new)/2 * len, both
// rounded to float, pw += I*V.

enum class Keep { None, Prev, Power };

struct PowerArgs {
  float* pw = nullptr;
  double s1 = 0, s2 = 0, len = 0;
};

template <Keep M>
RV_INLINE void KeepOld(float* RV_RESTRICT prev, float* RV_RESTRICT pw, double s1, double s2,
                       double len, int k, float e, float en, double dp, double dq) {
  if constexpr (M == Keep::Prev) prev[k] = e;
  if constexpr (M == Keep::Power) {
    const float I = float(dp * s1 - dq * s2);
    const float V = float((double(e) + double(en)) / 2 * len);
    pw[k] = float(double(pw[k]) + double(I) * double(V));
  }
}

#define RV_POWER_LOCALS \
  float* RV_RESTRICT pw = pa.pw;                      \
  const double s1 = pa.s1, s2 = pa.s2, len = pa.len

template <Keep M>
RV_INLINE void ERowConstBody(float* RV_RESTRICT out, float* RV_RESTRICT prev, const PowerArgs& pa,
                             const float* RV_RESTRICT p1, const float* RV_RESTRICT p0,
                             const float* RV_RESTRICT q1, const float* RV_RESTRICT q0, double c1,
                             double c2, double ca, double cb, int k0, int k1) {
  RV_POWER_LOCALS;
  for (int k = k0; k <= k1; ++k) {
    const float e = out[k];
    const double dp = double(p1[k]) - double(p0[k]), dq = double(q1[k]) - double(q0[k]);
    const double curl = dp * c1 - dq * c2;
    const float en = float(double(e) * ca + curl * cb);
    out[k] = en;
    KeepOld<M>(prev, pw, s1, s2, len, k, e, en, dp, dq);
  }
}

RV_KERNEL void ERowConst(float* RV_RESTRICT out, float* RV_RESTRICT prev, const PowerArgs& pa,
                         const float* RV_RESTRICT p1, const float* RV_RESTRICT p0,
                         const float* RV_RESTRICT q1, const float* RV_RESTRICT q0, double c1,
                         double c2, double ca, double cb, int k0, int k1) {
  if (prev) ERowConstBody<Keep::Prev>(out, prev, pa, p1, p0, q1, q0, c1, c2, ca, cb, k0, k1);
  else if (pa.pw) ERowConstBody<Keep::Power>(out, prev, pa, p1, p0, q1, q0, c1, c2, ca, cb, k0, k1);
  else ERowConstBody<Keep::None>(out, prev, pa, p1, p0, q1, q0, c1, c2, ca, cb, k0, k1);
}

template <Keep M, class Idx>
RV_INLINE void ERowIdxBody(float* RV_RESTRICT out, float* RV_RESTRICT prev, const PowerArgs& pa,
                           const float* RV_RESTRICT p1, const float* RV_RESTRICT p0,
                           const float* RV_RESTRICT q1, const float* RV_RESTRICT q0, double c1,
                           double c2, const Idx* RV_RESTRICT idx, const float* RV_RESTRICT ca,
                           const float* RV_RESTRICT cb, int k0, int k1) {
  RV_POWER_LOCALS;
  for (int k = k0; k <= k1; ++k) {
    const float e = out[k];
    const double dp = double(p1[k]) - double(p0[k]), dq = double(q1[k]) - double(q0[k]);
    const double curl = dp * c1 - dq * c2;
    const Idx c = idx[k];
    const float en = float(double(e) * double(ca[c]) + curl * double(cb[c]));
    out[k] = en;
    KeepOld<M>(prev, pw, s1, s2, len, k, e, en, dp, dq);
  }
}

template <class Idx>
RV_INLINE void ERowIdxDispatch(float* out, float* prev, const PowerArgs& pa, const float* p1,
                               const float* p0, const float* q1, const float* q0, double c1,
                               double c2, const Idx* idx, const float* ca, const float* cb, int k0,
                               int k1) {
  if (prev) ERowIdxBody<Keep::Prev, Idx>(out, prev, pa, p1, p0, q1, q0, c1, c2, idx, ca, cb, k0, k1);
  else if (pa.pw) ERowIdxBody<Keep::Power, Idx>(out, prev, pa, p1, p0, q1, q0, c1, c2, idx, ca, cb, k0, k1);
  else ERowIdxBody<Keep::None, Idx>(out, prev, pa, p1, p0, q1, q0, c1, c2, idx, ca, cb, k0, k1);
}

RV_KERNEL void ERowIdx16(float* out, float* prev, const PowerArgs& pa, const float* p1,
                         const float* p0, const float* q1, const float* q0, double c1, double c2,
                         const uint16_t* idx, const float* ca, const float* cb, int k0, int k1) {
  ERowIdxDispatch<uint16_t>(out, prev, pa, p1, p0, q1, q0, c1, c2, idx, ca, cb, k0, k1);
}

RV_KERNEL void ERowIdx32(float* out, float* prev, const PowerArgs& pa, const float* p1,
                         const float* p0, const float* q1, const float* q0, double c1, double c2,
                         const uint32_t* idx, const float* ca, const float* cb, int k0, int k1) {
  ERowIdxDispatch<uint32_t>(out, prev, pa, p1, p0, q1, q0, c1, c2, idx, ca, cb, k0, k1);
}

// ---- Debye rows: out = out*Ca + (curl + InvEta0*D)*Cb, then D = out*DebyeCoef + D*DebyeDecay

template <Keep M>
RV_INLINE void DRowConstBody(float* RV_RESTRICT out, float* RV_RESTRICT prev, const PowerArgs& pa,
                             float* RV_RESTRICT dd, const float* RV_RESTRICT p1,
                             const float* RV_RESTRICT p0, const float* RV_RESTRICT q1,
                             const float* RV_RESTRICT q0, double c1, double c2, double inv,
                             double ca, double cb, double dcoef, double ddecay, int k0, int k1) {
  RV_POWER_LOCALS;
  for (int k = k0; k <= k1; ++k) {
    const float e = out[k];
    const double dp = double(p1[k]) - double(p0[k]), dq = double(q1[k]) - double(q0[k]);
    const double curl = dp * c1 - dq * c2;
    const float en = float(double(e) * ca + (curl + inv * double(dd[k])) * cb);
    out[k] = en;
    dd[k] = float(double(en) * dcoef + double(dd[k]) * ddecay);
    KeepOld<M>(prev, pw, s1, s2, len, k, e, en, dp, dq);
  }
}

RV_KERNEL void DRowConst(float* out, float* prev, const PowerArgs& pa, float* dd, const float* p1,
                         const float* p0, const float* q1, const float* q0, double c1, double c2,
                         double inv, double ca, double cb, double dcoef, double ddecay, int k0,
                         int k1) {
  if (prev)
    DRowConstBody<Keep::Prev>(out, prev, pa, dd, p1, p0, q1, q0, c1, c2, inv, ca, cb, dcoef, ddecay, k0, k1);
  else if (pa.pw)
    DRowConstBody<Keep::Power>(out, prev, pa, dd, p1, p0, q1, q0, c1, c2, inv, ca, cb, dcoef, ddecay, k0, k1);
  else
    DRowConstBody<Keep::None>(out, prev, pa, dd, p1, p0, q1, q0, c1, c2, inv, ca, cb, dcoef, ddecay, k0, k1);
}

struct CoefTables {
  const float *ca, *cb, *dc, *dd;
};

template <Keep M, class Idx>
RV_INLINE void DRowIdxBody(float* RV_RESTRICT out, float* RV_RESTRICT prev, const PowerArgs& pa,
                           float* RV_RESTRICT dd, const float* RV_RESTRICT p1,
                           const float* RV_RESTRICT p0, const float* RV_RESTRICT q1,
                           const float* RV_RESTRICT q0, double c1, double c2, double inv,
                           const Idx* RV_RESTRICT idx, const float* RV_RESTRICT ca,
                           const float* RV_RESTRICT cb, const float* RV_RESTRICT dcoef,
                           const float* RV_RESTRICT ddecay, int k0, int k1) {
  RV_POWER_LOCALS;
  for (int k = k0; k <= k1; ++k) {
    const float e = out[k];
    const double dp = double(p1[k]) - double(p0[k]), dq = double(q1[k]) - double(q0[k]);
    const double curl = dp * c1 - dq * c2;
    const Idx c = idx[k];
    const float en = float(double(e) * double(ca[c]) + (curl + inv * double(dd[k])) * double(cb[c]));
    out[k] = en;
    dd[k] = float(double(en) * double(dcoef[c]) + double(dd[k]) * double(ddecay[c]));
    KeepOld<M>(prev, pw, s1, s2, len, k, e, en, dp, dq);
  }
}

template <class Idx>
RV_INLINE void DRowIdxDispatch(float* out, float* prev, const PowerArgs& pa, float* dd,
                               const float* p1, const float* p0, const float* q1, const float* q0,
                               double c1, double c2, double inv, const Idx* idx, CoefTables t,
                               int k0, int k1) {
  if (prev)
    DRowIdxBody<Keep::Prev, Idx>(out, prev, pa, dd, p1, p0, q1, q0, c1, c2, inv, idx, t.ca, t.cb, t.dc, t.dd, k0, k1);
  else if (pa.pw)
    DRowIdxBody<Keep::Power, Idx>(out, prev, pa, dd, p1, p0, q1, q0, c1, c2, inv, idx, t.ca, t.cb, t.dc, t.dd, k0, k1);
  else
    DRowIdxBody<Keep::None, Idx>(out, prev, pa, dd, p1, p0, q1, q0, c1, c2, inv, idx, t.ca, t.cb, t.dc, t.dd, k0, k1);
}

RV_KERNEL void DRowIdx16(float* out, float* prev, const PowerArgs& pa, float* dd, const float* p1,
                         const float* p0, const float* q1, const float* q0, double c1, double c2,
                         double inv, const uint16_t* idx, CoefTables t, int k0, int k1) {
  DRowIdxDispatch<uint16_t>(out, prev, pa, dd, p1, p0, q1, q0, c1, c2, inv, idx, t, k0, k1);
}

RV_KERNEL void DRowIdx32(float* out, float* prev, const PowerArgs& pa, float* dd, const float* p1,
                         const float* p0, const float* q1, const float* q0, double c1, double c2,
                         double inv, const uint32_t* idx, CoefTables t, int k0, int k1) {
  DRowIdxDispatch<uint32_t>(out, prev, pa, dd, p1, p0, q1, q0, c1, c2, inv, idx, t, k0, k1);
}

// Whether every value of v[k0..k1] is a finite number (INF and NaN have all exponent bits
// set). An integer maximum, so it vectorises without reordering any float arithmetic and
// no compiler setting can drop the test.
RV_KERNEL bool RowFinite(const float* RV_RESTRICT v, int k0, int k1) {
  uint32_t m = 0;
  for (int k = k0; k <= k1; ++k) m = std::max(m, std::bit_cast<uint32_t>(v[k]) & 0x7f800000u);
  return m != 0x7f800000u;
}

RV_KERNEL void CopyRow(float* RV_RESTRICT dst, const float* RV_RESTRICT src, int k0, int k1) {
  for (int k = k0; k <= k1; ++k) dst[k] = src[k];
}

// ---- shape checks

bool Shape(const t3DSpaceArray& a, int n1, int n2, int n3) {
  return !a.empty() && a.len1() == n1 && a.len2() == n2 && a.len3() == n3;
}

bool FieldsMatch(const SolverData& d) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  if (nx < 2 || ny < 2 || nz < 2) return false;
  return Shape(d.Hx, nx + 1, ny, nz) && Shape(d.Hy, nx, ny + 1, nz) && Shape(d.Hz, nx, ny, nz + 1) &&
         Shape(d.Ex, nx, ny + 1, nz + 1) && Shape(d.Ey, nx + 1, ny, nz + 1) &&
         Shape(d.Ez, nx + 1, ny + 1, nz);
}

bool PrevMatch(const SolverData& d) {
  return Shape(d.ExPrev, d.Ex.len1(), d.Ex.len2(), d.Ex.len3()) &&
         Shape(d.EyPrev, d.Ey.len1(), d.Ey.len2(), d.Ey.len3()) &&
         Shape(d.EzPrev, d.Ez.len1(), d.Ez.len2(), d.Ez.len3());
}

bool PowerMatch(const SolverData& d) {
  const int n1 = d.Nx + 1, n2 = d.Ny + 1, n3 = d.Nz + 1;
  return Shape(d.PowerX, n1, n2, n3) && Shape(d.PowerY, n1, n2, n3) && Shape(d.PowerZ, n1, n2, n3);
}

// The Mur planes of the Z faces: 8/9 (nx+1, ny) for Ey, 10/11 (nx, ny+1) for Ex.
bool MurZMatch(const SolverData& d) {
  auto shape = [](const t2DSpaceArray& a, int n1, int n2) {
    return !a.empty() && a.len1() == n1 && a.len2() == n2;
  };
  const auto& P = d.MurPlanes;
  const int nx = d.Nx, ny = d.Ny;
  return (!d.MurFace[FaceZ1] || (shape(P[8], nx + 1, ny) && shape(P[10], nx, ny + 1))) &&
         (!d.MurFace[FaceZMax] || (shape(P[9], nx + 1, ny) && shape(P[11], nx, ny + 1)));
}

bool DebyeMatch(const SolverData& d) {
  const int n1 = d.Nx + 1, n2 = d.Ny + 1, n3 = d.Nz + 1;
  return Shape(d.DebyeX, n1, n2, n3) && Shape(d.DebyeY, n1, n2, n3) && Shape(d.DebyeZ, n1, n2, n3);
}

// Pointer to element (i, j, 0) of an array.
inline float* RowPtr(t3DSpaceArray& a, int i, int j) {
  return a.data() + size_t(i) * a.strideX() + size_t(j) * a.strideY();
}
inline const float* RowPtr(const t3DSpaceArray& a, int i, int j) {
  return a.data() + size_t(i) * a.strideX() + size_t(j) * a.strideY();
}

// The H update of one x plane (all three components; Hy and Hz end at plane nx-1).
class HPlanes {
public:
  explicit HPlanes(SolverData& d) : d_(d) {
    const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
    Ok = FieldsMatch(d) && (!d.MagneticMaterials || Shape(d.HCoefCell, nx + 1, ny + 1, nz + 1));
  }
  bool Ok = false;

  void operator()(int i) const {
    SolverData& d = d_;
    const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
    const bool perCell = d.MagneticMaterials != 0;
    const double cx = d.CourantX, cy = d.CourantY, cz = d.CourantZ;
    const double q = d.HCoefUniform;
    const t3DSpaceArray &Ex = d.Ex, &Ey = d.Ey, &Ez = d.Ez, &Qc = d.HCoefCell;
    t3DSpaceArray &Hx = d.Hx, &Hy = d.Hy, &Hz = d.Hz;
    auto run = [&](float* out, const float* p1, const float* p0, const float* q1, const float* q0,
                   double c1, double c2, int j, int k0, int k1) {
      if (perCell) HRowCell(out, p1, p0, q1, q0, c1, c2, RowPtr(Qc, i, j), k0, k1);
      else HRowUniform(out, p1, p0, q1, q0, c1, c2, q, k0, k1);
    };
    // Hx -= ((Ez[j+1] - Ez[j])*CY - (Ey[k+1] - Ey[k])*CZ)*Q
    for (int j = 1; j <= ny - 1; ++j) {
      const float* ey = RowPtr(Ey, i, j);
      run(RowPtr(Hx, i, j), RowPtr(Ez, i, j + 1), RowPtr(Ez, i, j), ey + 1, ey, cy, cz, j, 1, nz - 1);
    }
    if (i > nx - 1) return;
    // Hy -= ((Ex[k+1] - Ex[k])*CZ - (Ez[i+1] - Ez[i])*CX)*Q
    for (int j = 1; j <= ny; ++j) {
      const float* ex = RowPtr(Ex, i, j);
      run(RowPtr(Hy, i, j), ex + 1, ex, RowPtr(Ez, i + 1, j), RowPtr(Ez, i, j), cz, cx, j, 1, nz - 1);
    }
    // Hz -= ((Ey[i+1] - Ey[i])*CX - (Ex[j+1] - Ex[j])*CY)*Q
    for (int j = 1; j <= ny - 1; ++j)
      run(RowPtr(Hz, i, j), RowPtr(Ey, i + 1, j), RowPtr(Ey, i, j), RowPtr(Ex, i, j + 1),
          RowPtr(Ex, i, j), cx, cy, j, 1, nz);
  }

private:
  SolverData& d_;
};

// One E pass (plain or Debye) over all three components.
// With withH, the step's H update first, in the same sweep over x planes (see UpdateHE).
template <bool Debye>
bool EPass(SolverData& d, const EdgeCoefCache& cache, const StepFusion* f, bool withH = false) {
  if (!FieldsMatch(d) || !cache.Matches(d)) return false;
  const HPlanes hPlane(d);
  if (withH && !hPlane.Ok) return false;
  // Folded power: only the plain rows keep their previous E, for the power pass.
  const bool power = f && f->Power, murZ = f && f->MurZ;
  const bool keepPrev = d.SAROn != 0 && (!f || f->Accumulate);
  if (keepPrev && !PrevMatch(d)) return false;
  if (Debye && !DebyeMatch(d)) return false;
  if (power && !PowerMatch(d)) return false;
  if (murZ && !MurZMatch(d)) return false;
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const double cx = d.CourantX, cy = d.CourantY, cz = d.CourantZ;
  const double inv = InvEta0;
  const CoefTables tab{cache.TabCa.data(), cache.TabCb.data(), cache.TabDebyeCoef.data(),
                       cache.TabDebyeDecay.data()};
  t3DSpaceArray* E[3] = {&d.Ex, &d.Ey, &d.Ez};
  t3DSpaceArray* P[3] = {&d.ExPrev, &d.EyPrev, &d.EzPrev};
  t3DSpaceArray* D[3] = {&d.DebyeX, &d.DebyeY, &d.DebyeZ};
  t3DSpaceArray* W[3] = {&d.PowerX, &d.PowerY, &d.PowerZ};
  const t3DSpaceArray &Hx = d.Hx, &Hy = d.Hy, &Hz = d.Hz;
  // The power's current uses the cell sizes where the update uses Courant numbers.
  const double S1[3] = {d.Dz, d.Dx, d.Dy}, S2[3] = {d.Dy, d.Dz, d.Dx}, Len[3] = {d.Dx, d.Dy, d.Dz};
  const double kz = MurCoef(d.CourantZ);
  const bool murLo = murZ && d.MurFace[FaceZ1], murHi = murZ && d.MurFace[FaceZMax];
  const PowerSpans* spans = f && f->Spans.Built() ? &f->Spans : nullptr;
  const bool pecLo = f && f->PecZ && d.PECFace[FaceZ1], pecHi = f && f->PecZ && d.PECFace[FaceZMax];
  const bool watch = f && f->WatchFinite;

  // One row of component a at (i, j); the curl's four H rows and Courant numbers by axis.
  auto row = [&](int a, int i, int j, int k0, int k1) {
    const float *p1, *p0, *q1, *q0;
    double c1, c2;
    switch (a) {
      case 0:  // Ex: (Hz[j] - Hz[j-1])*CY - (Hy[k] - Hy[k-1])*CZ
        p1 = RowPtr(Hz, i, j); p0 = RowPtr(Hz, i, j - 1); c1 = cy;
        q1 = RowPtr(Hy, i, j); q0 = q1 - 1; c2 = cz;
        break;
      case 1:  // Ey: (Hx[k] - Hx[k-1])*CZ - (Hz[i] - Hz[i-1])*CX
        p1 = RowPtr(Hx, i, j); p0 = p1 - 1; c1 = cz;
        q1 = RowPtr(Hz, i, j); q0 = RowPtr(Hz, i - 1, j); c2 = cx;
        break;
      default:  // Ez: (Hy[i] - Hy[i-1])*CX - (Hx[j] - Hx[j-1])*CY
        p1 = RowPtr(Hy, i, j); p0 = RowPtr(Hy, i - 1, j); c1 = cx;
        q1 = RowPtr(Hx, i, j); q0 = RowPtr(Hx, i, j - 1); c2 = cy;
        break;
    }
    float* out = RowPtr(*E[a], i, j);
    const bool plain = f && f->Plain(a, i, j);
    float* prev = keepPrev && (!power || plain) ? RowPtr(*P[a], i, j) : nullptr;
    PowerArgs pa;
    if (power && !plain) pa = PowerArgs{RowPtr(*W[a], i, j), S1[a], S2[a], Len[a]};
    float* dd = Debye ? RowPtr(*D[a], i, j) : nullptr;
    const EdgeCoefCache::Row& r = cache.RowOf(a, i, j);
    // Edges from..to of the row, keeping their old E in kp / adding their power to pk.pw.
    auto part = [&](int from, int to, float* kp, const PowerArgs& pk) {
      // Edges f0..t0 of one class.
      auto runConst = [&](uint32_t cls, int f0, int t0) {
        const EdgeCoefs& c = cache.Table[cls];
        if (Debye && (c.DebyeCoef != 0 || c.DebyeDecay != 1))
          DRowConst(out, kp, pk, dd, p1, p0, q1, q0, c1, c2, inv, c.Ca, c.Cb, c.DebyeCoef,
                    c.DebyeDecay, f0, t0);
        else  // not dispersive: D stays 0 here, the plain update
          ERowConst(out, kp, pk, p1, p0, q1, q0, c1, c2, c.Ca, c.Cb, f0, t0);
      };
      if (r.Uniform >= 0) {
        runConst(uint32_t(r.Uniform), from, to);
      } else if (r.SegCount > 0) {
        const EdgeCoefCache::Seg* sg = cache.Segs.data() + r.Offset;
        for (int s = 0; s < r.SegCount; ++s) {
          const int g0 = std::max(sg[s].K0, from), g1 = std::min(s + 1 < r.SegCount ? sg[s + 1].K0 - 1 : k1, to);
          if (g0 <= g1) runConst(sg[s].Class, g0, g1);
        }
      } else if constexpr (Debye) {
        if (cache.Wide)
          DRowIdx32(out, kp, pk, dd, p1, p0, q1, q0, c1, c2, inv, cache.Index32.data() + r.Offset, tab, from, to);
        else
          DRowIdx16(out, kp, pk, dd, p1, p0, q1, q0, c1, c2, inv, cache.Index16.data() + r.Offset, tab, from, to);
      } else {
        if (cache.Wide)
          ERowIdx32(out, kp, pk, p1, p0, q1, q0, c1, c2, cache.Index32.data() + r.Offset, tab.ca, tab.cb, from, to);
        else
          ERowIdx16(out, kp, pk, p1, p0, q1, q0, c1, c2, cache.Index16.data() + r.Offset, tab.ca, tab.cb, from, to);
      }
    };
    if ((!prev && !pa.pw) || !spans) {
      part(k0, k1, prev, pa);
    } else {
      // Old E and power only on the edges whose power the run adds up.
      const auto [runs, n] = spans->Of(a, i, j);
      int at = k0;
      for (int s = 0; s < n; ++s) {
        const int r0 = std::max(runs[s].K0, at), r1 = std::min(runs[s].K1, k1);
        if (r0 > r1) continue;
        if (at < r0) part(at, r0 - 1, nullptr, PowerArgs{});
        part(r0, r1, prev, pa);
        at = r1 + 1;
      }
      if (at <= k1) part(at, k1, nullptr, PowerArgs{});
    }
    // The Mur Z faces of an Ex or Ey row: the boundary edges from the new inner ones, then
    // the inner ones saved for the next step (planes 10/11 for Ex, 8/9 for Ey).
    if (a < 2 && !plain && (murLo || murHi)) {
      auto& P = d.MurPlanes;
      if (murHi) {
        float& s = P[a == 0 ? 11 : 9](i, j);
        out[nz] = MurPlain(kz, out[nz - 1], out[nz], s);
        s = out[nz - 1];
      }
      if (murLo) {
        float& s = P[a == 0 ? 10 : 8](i, j);
        out[1] = MurPlain(kz, out[2], out[1], s);
        s = out[2];
      }
    }
    if (a < 2 && !plain) {
      if (pecHi) out[nz] = 0.0f;
      if (pecLo) out[1] = 0.0f;
    }
    if (a == 2 && watch && ((i + j + d.CurStep) & 1) == 0 && !RowFinite(out, k0, k1))
      std::atomic_ref<int>(f->FoundNonFinite).store(1, std::memory_order_relaxed);
  };

  // Plane i of all three components (Ey and Ez start at plane 2).
  auto ePlane = [&](int i) {
    for (int j = 2; j <= ny - 1; ++j) row(0, i, j, 2, nz - 1);
    if (i < 2) return;
    for (int j = 1; j <= ny - 1; ++j) row(1, i, j, 2, nz - 1);
    for (int j = 2; j <= ny - 1; ++j) row(2, i, j, 1, nz - 1);
  };
  if (!withH) {
    ParallelFor(1, nx, ePlane, Threaded(d));
    return true;
  }
  // H of plane i reads E of planes i and i+1; E of plane i reads H of planes i-1 and i. A
  // block of planes lo..hi does each plane's H and then, but for plane lo, its E (both its H
  // neighbours are done, and no H still to come reads its old E). E of plane lo needs the H
  // of plane lo-1 from another block: a second pass does it. Most of a plane's fields are
  // thus read once from memory per step.
  // Three blocks of equal size per thread: each thread has the same work, and a late one
  // leaves whole blocks to the others.
  const int threads = Threaded(d) ? WorkThreads() : 1;
  const int blocks = std::max(1, std::min(3 * threads, nx / 2));
  auto first = [&](int b) { return 1 + int(int64_t(nx) * b / blocks); };  // planes 1..nx
  ParallelFor(0, blocks, [&](int b) {
    const int lo = first(b), hi = first(b + 1) - 1;
    for (int i = lo; i <= hi; ++i) {
      hPlane(i);
      if (i > lo && i <= nx - 1) ePlane(i);
    }
  }, Threaded(d));
  ParallelFor(0, blocks, [&](int b) {
    if (first(b) <= nx - 1) ePlane(first(b));
  }, Threaded(d));
  return true;
}

}  // namespace

bool UpdateH(SolverData& d) {
  const HPlanes h(d);
  if (!h.Ok) return false;
  ParallelFor(1, d.Nx + 1, h, Threaded(d));
  return true;
}

bool UpdateE(SolverData& d, const EdgeCoefCache& cache, const StepFusion* fusion) {
  return EPass<false>(d, cache, fusion);
}

bool UpdateEDebye(SolverData& d, const EdgeCoefCache& cache, const StepFusion* fusion) {
  return EPass<true>(d, cache, fusion);
}

bool UpdateHE(SolverData& d, const EdgeCoefCache& cache, const StepFusion* fusion) {
  return d.PolarDielectrics ? EPass<true>(d, cache, fusion, true) : EPass<false>(d, cache, fusion, true);
}

bool SavePreviousE(SolverData& d) {
  if (!FieldsMatch(d) || !PrevMatch(d)) return false;
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  ParallelFor(1, nx, [&](int i) {
    for (int j = 2; j <= ny - 1; ++j) CopyRow(RowPtr(d.ExPrev, i, j), RowPtr(d.Ex, i, j), 2, nz - 1);
    if (i < 2) return;
    for (int j = 1; j <= ny - 1; ++j) CopyRow(RowPtr(d.EyPrev, i, j), RowPtr(d.Ey, i, j), 2, nz - 1);
    for (int j = 2; j <= ny - 1; ++j) CopyRow(RowPtr(d.EzPrev, i, j), RowPtr(d.Ez, i, j), 1, nz - 1);
  }, Threaded(d));
  return true;
}

bool AllocDebyeArrays(SolverData& d) {
  const int n1 = d.SpaceNx + 1, n2 = d.SpaceNy + 1, n3 = d.SpaceNz + 1;
  if (n1 < 2 || n2 < 2 || n3 < 2) return false;
  // Allocation zeroes every element, indices 1..N included.
  if (d.DebyeX.allocate(n1, n2, n3) && d.DebyeY.allocate(n1, n2, n3) &&
      d.DebyeZ.allocate(n1, n2, n3))
    return true;
  d.DebyeX.free(); d.DebyeY.free(); d.DebyeZ.free();
  return false;
}

double EdgeCurlH(const SolverData& d, char Axis, int i, int j, int k) {
  const double cx = d.CourantX, cy = d.CourantY, cz = d.CourantZ;
  switch (Axis) {
    case 'X':
      return (double(d.Hz.at(i, j, k)) - double(d.Hz.at(i, j - 1, k))) * cy -
             (double(d.Hy.at(i, j, k)) - double(d.Hy.at(i, j, k - 1))) * cz;
    case 'Y':
      return (double(d.Hx.at(i, j, k)) - double(d.Hx.at(i, j, k - 1))) * cz -
             (double(d.Hz.at(i, j, k)) - double(d.Hz.at(i - 1, j, k))) * cx;
    case 'Z':
      return (double(d.Hy.at(i, j, k)) - double(d.Hy.at(i - 1, j, k))) * cx -
             (double(d.Hx.at(i, j, k)) - double(d.Hx.at(i, j - 1, k))) * cy;
    default:
      return 0;
  }
}

}  // namespace rv
