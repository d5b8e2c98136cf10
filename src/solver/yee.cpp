#include "solver/yee.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "solver/constants.h"
#include "solver/workpool.h"

// Row kernels: rows along z, pointers hoisted and restrict-qualified. Each row kernel is
// built twice (AVX2 and baseline) and picked at load time; no FMA contraction is allowed,
// so both give the same bits.
#include "solver/kernelattrs.h"
#define RV_INLINE inline __attribute__((always_inline))
#define RV_INLINE_LAMBDA __attribute__((always_inline))

// The lane helpers below return vectors of four doubles by value; they are always inlined
// into the kernels, so no call ever passes one.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace rv {

namespace {

inline bool Threaded(const SolverData& d) { return ParallelGrid(d.Nx, d.Ny, d.Nz); }

// ---- Lanes. Every update is written once for a value type V: double (one edge) or Vec4
// (four neighbouring edges along z). A Vec4 is four floats loaded at once and widened, and
// is stored rounded back to four floats: the same IEEE operations lane by lane as one edge
// at a time, so the same bits, with no shuffling of halves that 8-wide float loops need.
using Vec4 = double __attribute__((vector_size(32)));
using Float4 = float __attribute__((vector_size(16)));

template <class V>
RV_INLINE V Load(const float* p) {
  if constexpr (std::is_same_v<V, double>) {
    return double(*p);
  } else {
    Float4 f;
    std::memcpy(&f, p, sizeof f);
    return V{f[0], f[1], f[2], f[3]};
  }
}

template <class V>
RV_INLINE void Store(float* p, V v) {
  if constexpr (std::is_same_v<V, double>) {
    *p = float(v);
  } else {
    const Float4 f = __builtin_convertvector(v, Float4);
    std::memcpy(p, &f, sizeof f);
  }
}

// v rounded to float and widened again. The rounding is one vector conversion: g++ 12 drops
// a round trip written lane by lane once it has made one vector of the lanes.
template <class V>
RV_INLINE V ThroughFloat(V v) {
  if constexpr (std::is_same_v<V, double>) {
    return double(float(v));
  } else {
    const Float4 f = __builtin_convertvector(v, Float4);
    return V{f[0], f[1], f[2], f[3]};
  }
}

// The table's values of the classes idx[0..]: one or four.
template <class V, class Idx>
RV_INLINE V Gather(const float* t, const Idx* idx) {
  if constexpr (std::is_same_v<V, double>) return double(t[idx[0]]);
  else return V{t[idx[0]], t[idx[1]], t[idx[2]], t[idx[3]]};
}

// f(V{}, k) for the edges k0..k1: four at a time, the last few one by one.
template <class F>
RV_INLINE void ForEdges(int k0, int k1, const F& f) {
  int k = k0;
  for (; k + 3 <= k1; k += 4) f(Vec4{}, k);
  for (; k <= k1; ++k) f(0.0, k);
}

// ---- One value of each update. The only place its arithmetic is written: every kernel
// below, one component's row or all three of a cell's, builds on these.

// The curl's two differences (p1 - p0) and (q1 - q0).
template <class V>
struct Diffs {
  V p, q;
};
template <class V>
RV_INLINE Diffs<V> DiffsAt(const float* p1, const float* p0, const float* q1, const float* q0, int k) {
  return {Load<V>(p1 + k) - Load<V>(p0 + k), Load<V>(q1 + k) - Load<V>(q0 + k)};
}

// H -= ((p1-p0)*c1 - (q1-q0)*c2) * Q
template <class V, class Q>
RV_INLINE void HValue(float* h, int k, Diffs<V> df, double c1, double c2, Q q) {
  Store<V>(h + k, Load<V>(h + k) - (df.p * c1 - df.q * c2) * q);
}

// What an E row does besides its update: nothing, keep the E it overwrites (for the
// absorbed-power pass), or add the step's absorbed power of the edge right away, exactly as
// AccumulatePower would from the same H and E: I = (p1-p0)*s1 - (q1-q0)*s2 and
// V = (E_old + E_new)/2 * len, both rounded to float, pw += I*V.
enum class Keep { None, Prev, Power };

// The coefficients of an E edge (the Debye ones read only in a dispersive medium): doubles
// for a row of one class, C = V for a class per edge.
template <class C>
struct ECoefs {
  C ca, cb, dc, dd;
};
// The power's lengths of a component.
struct ELens {
  double s1, s2, len;
};

// E = E*Ca + (curl [+ InvEta0*D])*Cb with curl = (p1-p0)*c1 - (q1-q0)*c2; in a Debye medium
// then D = E_new*DebyeCoef + D*DebyeDecay whatever the decay is (so a relaxation time far
// below dt keeps the static permittivity); and the old E kept in kp or the power added to it.
template <Keep M, bool Debye, class V, class C>
RV_INLINE void EValue(float* e, float* d, float* kp, int k, Diffs<V> df, double c1, double c2,
                      const ECoefs<C>& c, double inv, const ELens& l) {
  const V old = Load<V>(e + k);
  V bracket = df.p * c1 - df.q * c2;
  if constexpr (Debye) bracket = bracket + inv * Load<V>(d + k);
  const V x = old * c.ca + bracket * c.cb;
  Store<V>(e + k, x);
  if constexpr (Debye || M == Keep::Power) {
    const V en = ThroughFloat<V>(x);
    if constexpr (Debye) Store<V>(d + k, en * c.dc + Load<V>(d + k) * c.dd);
    if constexpr (M == Keep::Power) {
      const V I = ThroughFloat<V>(df.p * l.s1 - df.q * l.s2);
      const V U = ThroughFloat<V>((old + en) / 2.0 * l.len);
      Store<V>(kp + k, Load<V>(kp + k) + I * U);
    }
  }
  if constexpr (M == Keep::Prev) Store<V>(kp + k, old);
}

// Calls f.template operator()<M, Debye>() for the row's keep mode and medium: every kernel is
// built for each pair, and the choice is made once per call.
template <class F>
RV_INLINE void ForMode(Keep m, bool debye, const F& f) {
  if (debye) {
    if (m == Keep::Prev) f.template operator()<Keep::Prev, true>();
    else if (m == Keep::Power) f.template operator()<Keep::Power, true>();
    else f.template operator()<Keep::None, true>();
  } else {
    if (m == Keep::Prev) f.template operator()<Keep::Prev, false>();
    else if (m == Keep::Power) f.template operator()<Keep::Power, false>();
    else f.template operator()<Keep::None, false>();
  }
}

// ---- H rows

// The H rows of cell row (i, j) and the E rows their curls read: E at (i, j), (i, j+1) and
// (i+1, j); qc the per-cell coefficient row, or null for the uniform one.
struct HRows {
  float *hx, *hy, *hz;
  const float *ex, *ey, *ez, *exJ, *eyI, *ezI, *ezJ, *qc;
};

// The coefficient Q of edges k..: the row's per-cell values or the uniform one.
template <class V, bool PerCell>
RV_INLINE auto QAt(const float* qc, double q, int k) {
  if constexpr (PerCell) return Load<V>(qc + k);
  else return q;
}

// One component's row: h -= ((p1-p0)*c1 - (q1-q0)*c2) * Q.
template <bool PerCell>
RV_INLINE void HRowBody(float* RV_RESTRICT h, const float* RV_RESTRICT p1, const float* RV_RESTRICT p0,
                        const float* RV_RESTRICT q1, const float* RV_RESTRICT q0, double c1, double c2,
                        const float* RV_RESTRICT qc, double q, int k0, int k1) {
  ForEdges(k0, k1, [&](auto v, int k) RV_INLINE_LAMBDA {
    using V = decltype(v);
    HValue<V>(h, k, DiffsAt<V>(p1, p0, q1, q0, k), c1, c2, QAt<V, PerCell>(qc, q, k));
  });
}

RV_KERNEL void HRow(float* h, const float* p1, const float* p0, const float* q1, const float* q0,
                    double c1, double c2, const float* qc, double q, int k0, int k1) {
  if (qc) HRowBody<true>(h, p1, p0, q1, q0, c1, c2, qc, q, k0, k1);
  else HRowBody<false>(h, p1, p0, q1, q0, c1, c2, qc, q, k0, k1);
}

// All three components of a cell row in one sweep: each E value is read and widened once
// for the two curls that use it.
//   Hx -= ((Ez[j+1] - Ez[j])*CY - (Ey[k+1] - Ey[k])*CZ)*Q
//   Hy -= ((Ex[k+1] - Ex[k])*CZ - (Ez[i+1] - Ez[i])*CX)*Q
//   Hz -= ((Ey[i+1] - Ey[i])*CX - (Ex[j+1] - Ex[j])*CY)*Q
template <bool PerCell>
RV_INLINE void HRow3Body(float* RV_RESTRICT hx, float* RV_RESTRICT hy, float* RV_RESTRICT hz,
                         const float* RV_RESTRICT ex, const float* RV_RESTRICT ey,
                         const float* RV_RESTRICT ez, const float* RV_RESTRICT exJ,
                         const float* RV_RESTRICT eyI, const float* RV_RESTRICT ezI,
                         const float* RV_RESTRICT ezJ, const float* RV_RESTRICT qc, double q,
                         double cx, double cy, double cz, int k0, int k1) {
  ForEdges(k0, k1, [&](auto v, int k) RV_INLINE_LAMBDA {
    using V = decltype(v);
    const auto qk = QAt<V, PerCell>(qc, q, k);
    HValue<V>(hx, k, DiffsAt<V>(ezJ, ez, ey + 1, ey, k), cy, cz, qk);
    HValue<V>(hy, k, DiffsAt<V>(ex + 1, ex, ezI, ez, k), cz, cx, qk);
    HValue<V>(hz, k, DiffsAt<V>(eyI, ey, exJ, ex, k), cx, cy, qk);
  });
}

RV_KERNEL void HRow3(const HRows& r, double q, double cx, double cy, double cz, int k0, int k1) {
  if (r.qc)
    HRow3Body<true>(r.hx, r.hy, r.hz, r.ex, r.ey, r.ez, r.exJ, r.eyI, r.ezI, r.ezJ, r.qc, q, cx, cy, cz, k0, k1);
  else
    HRow3Body<false>(r.hx, r.hy, r.hz, r.ex, r.ey, r.ez, r.exJ, r.eyI, r.ezI, r.ezJ, r.qc, q, cx, cy, cz, k0, k1);
}

// ---- E rows

// One E component's row: its E and D (null outside the Debye pass), where it keeps old E or
// adds power, and the curl's four H rows and Courant numbers.
struct ERow {
  float *e, *d, *kp;
  const float *p1, *p0, *q1, *q0;
  double c1, c2;
  ELens lens;
};

// The coefficients of the edges of a row of one class, or of a class per edge from the
// cache's tables.
struct ClassCoefs {
  ECoefs<double> c;
  template <class V>
  RV_INLINE ECoefs<double> At(int) const { return c; }
};

template <class Idx>
struct IndexCoefs {
  const Idx* idx;
  const float *ca, *cb, *dc, *dd;
  template <class V>
  RV_INLINE ECoefs<V> At(int k) const {
    return {Gather<V>(ca, idx + k), Gather<V>(cb, idx + k), Gather<V>(dc, idx + k), Gather<V>(dd, idx + k)};
  }
};

struct CoefTables {
  const float *ca, *cb, *dc, *dd;
};

// A row's edges k0..k1.
template <Keep M, bool Debye, class Coefs>
RV_INLINE void ERowBody(float* RV_RESTRICT e, float* RV_RESTRICT d, float* RV_RESTRICT kp,
                        const float* RV_RESTRICT p1, const float* RV_RESTRICT p0,
                        const float* RV_RESTRICT q1, const float* RV_RESTRICT q0, double c1,
                        double c2, ELens l, double inv, const Coefs& coefs, int k0, int k1) {
  ForEdges(k0, k1, [&](auto v, int k) RV_INLINE_LAMBDA {
    using V = decltype(v);
    EValue<M, Debye, V>(e, d, kp, k, DiffsAt<V>(p1, p0, q1, q0, k), c1, c2,
                        coefs.template At<V>(k), inv, l);
  });
}

template <class Coefs>
RV_INLINE void ERowDispatch(const ERow& r, Keep m, bool debye, double inv, const Coefs& c, int k0, int k1) {
  ForMode(m, debye, [&]<Keep M, bool D>() RV_INLINE_LAMBDA {
    ERowBody<M, D>(r.e, r.d, r.kp, r.p1, r.p0, r.q1, r.q0, r.c1, r.c2, r.lens, inv, c, k0, k1);
  });
}

RV_KERNEL void ERowConst(const ERow& r, Keep m, bool debye, double inv, ECoefs<double> c, int k0, int k1) {
  ERowDispatch(r, m, debye, inv, ClassCoefs{c}, k0, k1);
}

// The tables are read through restrict pointers, as the rows' stores never reach them.
template <class Idx>
RV_INLINE void ERowIdx(const ERow& r, Keep m, bool debye, double inv, const Idx* RV_RESTRICT idx,
                       const float* RV_RESTRICT ca, const float* RV_RESTRICT cb,
                       const float* RV_RESTRICT dc, const float* RV_RESTRICT dd, int k0, int k1) {
  ERowDispatch(r, m, debye, inv, IndexCoefs<Idx>{idx, ca, cb, dc, dd}, k0, k1);
}

RV_KERNEL void ERowIdx16(const ERow& r, Keep m, bool debye, double inv, const uint16_t* idx,
                         const CoefTables& t, int k0, int k1) {
  ERowIdx(r, m, debye, inv, idx, t.ca, t.cb, t.dc, t.dd, k0, k1);
}

RV_KERNEL void ERowIdx32(const ERow& r, Keep m, bool debye, double inv, const uint32_t* idx,
                         const CoefTables& t, int k0, int k1) {
  ERowIdx(r, m, debye, inv, idx, t.ca, t.cb, t.dc, t.dd, k0, k1);
}

// The three E rows of cell row (i, j): E, D and kept values by component, and the seven H
// rows their curls read: H at (i, j), (i, j-1) and (i-1, j).
struct ERows3 {
  float *e[3], *d[3], *kp[3];
  const float *hx, *hxJ, *hy, *hyI, *hz, *hzJ, *hzI;
};

// All three components of a cell row in one sweep, each with one class of coefficients and
// the same keep mode and medium: each H value is read and widened once for the two curls
// that use it. Edges k0..k1, and Ez from ez0 (k0 - 1 or k0: Ez's rows start an edge lower).
//   Ex: (Hz[j] - Hz[j-1])*CY - (Hy[k] - Hy[k-1])*CZ
//   Ey: (Hx[k] - Hx[k-1])*CZ - (Hz[i] - Hz[i-1])*CX
//   Ez: (Hy[i] - Hy[i-1])*CX - (Hx[j] - Hx[j-1])*CY
template <Keep M, bool Debye>
RV_INLINE void ERow3Body(float* RV_RESTRICT ex, float* RV_RESTRICT ey, float* RV_RESTRICT ez,
                         float* RV_RESTRICT dx, float* RV_RESTRICT dy, float* RV_RESTRICT dz,
                         float* RV_RESTRICT kx, float* RV_RESTRICT ky, float* RV_RESTRICT kz,
                         const float* RV_RESTRICT hx, const float* RV_RESTRICT hxJ,
                         const float* RV_RESTRICT hy, const float* RV_RESTRICT hyI,
                         const float* RV_RESTRICT hz, const float* RV_RESTRICT hzJ,
                         const float* RV_RESTRICT hzI, double cx, double cy, double cz, double inv,
                         const ECoefs<double> (&c)[3], const ELens (&l)[3], int ez0, int k0, int k1) {
  const ECoefs<double> c0 = c[0], c1 = c[1], c2 = c[2];
  const ELens l0 = l[0], l1 = l[1], l2 = l[2];
  auto ezAt = [&](auto v, int k) RV_INLINE_LAMBDA {
    using V = decltype(v);
    EValue<M, Debye, V>(ez, dz, kz, k, DiffsAt<V>(hy, hyI, hx, hxJ, k), cx, cy, c2, inv, l2);
  };
  if (ez0 < k0) ezAt(0.0, ez0);
  ForEdges(k0, k1, [&](auto v, int k) RV_INLINE_LAMBDA {
    using V = decltype(v);
    EValue<M, Debye, V>(ex, dx, kx, k, DiffsAt<V>(hz, hzJ, hy, hy - 1, k), cy, cz, c0, inv, l0);
    EValue<M, Debye, V>(ey, dy, ky, k, DiffsAt<V>(hx, hx - 1, hz, hzI, k), cz, cx, c1, inv, l1);
    ezAt(v, k);
  });
}

RV_KERNEL void ERow3(const ERows3& r, Keep m, bool debye, double cx, double cy, double cz,
                     double inv, const ECoefs<double> (&c)[3], const ELens (&l)[3], int ez0, int k0,
                     int k1) {
  ForMode(m, debye, [&]<Keep M, bool D>() RV_INLINE_LAMBDA {
    ERow3Body<M, D>(r.e[0], r.e[1], r.e[2], r.d[0], r.d[1], r.d[2], r.kp[0], r.kp[1], r.kp[2], r.hx,
                    r.hxJ, r.hy, r.hyI, r.hz, r.hzJ, r.hzI, cx, cy, cz, inv, c, l, ez0, k0, k1);
  });
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

bool Shape(const t3DSpaceArray& a, int n1, int n2, int n3) { return a.hasShape(n1, n2, n3); }

bool FieldsMatch(const SolverData& d) { return FieldArraysMatch(d); }

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
    auto qc = [&](int j) { return perCell ? RowPtr(Qc, i, j) : nullptr; };
    if (i > nx - 1) {  // the last plane holds Hx alone
      for (int j = 1; j <= ny - 1; ++j) {
        const float* ey = RowPtr(Ey, i, j);
        HRow(RowPtr(Hx, i, j), RowPtr(Ez, i, j + 1), RowPtr(Ez, i, j), ey + 1, ey, cy, cz, qc(j), q, 1, nz - 1);
      }
      return;
    }
    // Hx rows j < ny (k < nz), Hy rows j <= ny (k < nz) and Hz rows j < ny (k <= nz): the
    // three together where all are, the rest on their own.
    for (int j = 1; j <= ny - 1; ++j) {
      const HRows r{RowPtr(Hx, i, j), RowPtr(Hy, i, j), RowPtr(Hz, i, j), RowPtr(Ex, i, j),
                    RowPtr(Ey, i, j), RowPtr(Ez, i, j), RowPtr(Ex, i, j + 1), RowPtr(Ey, i + 1, j),
                    RowPtr(Ez, i + 1, j), RowPtr(Ez, i, j + 1), qc(j)};
      HRow3(r, q, cx, cy, cz, 1, nz - 1);
      HValue<double>(r.hz, nz, DiffsAt<double>(r.eyI, r.ey, r.exJ, r.ex, nz), cx, cy,
                     perCell ? double(r.qc[nz]) : q);
    }
    const float* ex = RowPtr(Ex, i, ny);
    HRow(RowPtr(Hy, i, ny), ex + 1, ex, RowPtr(Ez, i + 1, ny), RowPtr(Ez, i, ny), cz, cx, qc(ny), q, 1, nz - 1);
  }

private:
  SolverData& d_;
};

// The pieces of one E row in k order: runs of edges with one coefficient class (or a class
// per edge, -1) that all keep, or all do not keep, their old E or power. Asked for edges in
// increasing order.
class RowPieces {
public:
  struct Piece {
    int32_t cls;
    bool keep;
  };
  RowPieces() = default;
  // runs: the row's n runs of edges that keep; n = -1: every edge keeps.
  RowPieces(const EdgeCoefCache& cache, const EdgeCoefCache::Row& row, const PowerSpans::Run* runs, int n)
      : row_(&row), segs_(row.SegCount > 0 ? cache.Segs.data() + row.Offset : nullptr), runs_(runs), nRuns_(n) {}

  // The piece holding edge k; returns its last edge, at most `limit`.
  int At(int k, int limit, Piece& p) {
    int end = limit;
    if (row_->Uniform >= 0) {
      p.cls = row_->Uniform;
    } else if (segs_) {
      while (seg_ + 1 < row_->SegCount && segs_[seg_ + 1].K0 <= k) ++seg_;
      p.cls = int32_t(segs_[seg_].Class);
      if (seg_ + 1 < row_->SegCount) end = std::min(end, segs_[seg_ + 1].K0 - 1);
    } else {
      p.cls = -1;
    }
    p.keep = true;
    if (nRuns_ >= 0) {
      while (run_ < nRuns_ && runs_[run_].K1 < k) ++run_;
      p.keep = run_ < nRuns_ && runs_[run_].K0 <= k;
      if (p.keep) end = std::min(end, int(runs_[run_].K1));
      else if (run_ < nRuns_) end = std::min(end, runs_[run_].K0 - 1);
    }
    return end;
  }

private:
  const EdgeCoefCache::Row* row_ = nullptr;
  const EdgeCoefCache::Seg* segs_ = nullptr;
  const PowerSpans::Run* runs_ = nullptr;
  int nRuns_ = -1;  // -1: every edge keeps
  int seg_ = 0, run_ = 0;
};

template <unsigned C>
using Comps = std::integral_constant<unsigned, C>;

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
  const ELens lens[3] = {{d.Dz, d.Dy, d.Dx}, {d.Dx, d.Dz, d.Dy}, {d.Dy, d.Dx, d.Dz}};
  const double kz = MurCoef(d.CourantZ);
  const bool murLo = murZ && d.MurFace[FaceZ1], murHi = murZ && d.MurFace[FaceZMax];
  const PowerSpans* spans = f && f->Spans.Built() ? &f->Spans : nullptr;
  const bool pecLo = f && f->PecZ && d.PECFace[FaceZ1], pecHi = f && f->PecZ && d.PECFace[FaceZMax];
  const bool watch = f && f->WatchFinite;
  auto coefs = [&](int32_t cls) {
    const EdgeCoefs& c = cache.Table[size_t(cls)];
    return ECoefs<double>{c.Ca, c.Cb, c.DebyeCoef, c.DebyeDecay};
  };
  // The Debye update where the class is dispersive; elsewhere D stays 0, the plain one.
  auto dispersive = [&](int32_t cls) {
    const EdgeCoefs& c = cache.Table[size_t(cls)];
    return Debye && (c.DebyeCoef != 0 || c.DebyeDecay != 1);
  };

  // The rows of cell row (i, j) of the components in `comps` (bit a: component a), a
  // constant so that each case is built on its own.
  auto cellRows = [&](auto comps, int i, int j) {
    ERows3 s;
    s.hx = RowPtr(Hx, i, j); s.hxJ = RowPtr(Hx, i, j - 1);
    s.hy = RowPtr(Hy, i, j); s.hyI = RowPtr(Hy, i - 1, j);
    s.hz = RowPtr(Hz, i, j); s.hzJ = RowPtr(Hz, i, j - 1); s.hzI = RowPtr(Hz, i - 1, j);
    Keep mode[3];
    bool plain[3]{};
    RowPieces pieces[3];
    for (int a = 0; a < 3; ++a) {
      s.e[a] = s.d[a] = s.kp[a] = nullptr;
      mode[a] = Keep::None;
      if (!(comps >> a & 1)) continue;
      s.e[a] = RowPtr(*E[a], i, j);
      if (Debye) s.d[a] = RowPtr(*D[a], i, j);
      plain[a] = f && f->Plain(a, i, j);
      if (keepPrev && (!power || plain[a])) mode[a] = Keep::Prev, s.kp[a] = RowPtr(*P[a], i, j);
      else if (power && !plain[a]) mode[a] = Keep::Power, s.kp[a] = RowPtr(*W[a], i, j);
      // Old E and power only on the edges whose power the run adds up.
      std::pair<const PowerSpans::Run*, int> runs{nullptr, -1};
      if (mode[a] != Keep::None && spans) runs = spans->Of(a, i, j);
      pieces[a] = RowPieces(cache, cache.RowOf(a, i, j), runs.first, runs.second);
    }
    // Component a's edges k0..k1 of piece p, keeping as the piece says.
    auto single = [&](int a, RowPieces::Piece p, int k0, int k1) {
      const Keep m = p.keep ? mode[a] : Keep::None;
      ERow r;
      switch (a) {  // the curl's four H rows and Courant numbers
        case 0: r = ERow{s.e[0], s.d[0], s.kp[0], s.hz, s.hzJ, s.hy, s.hy - 1, cy, cz, lens[0]}; break;
        case 1: r = ERow{s.e[1], s.d[1], s.kp[1], s.hx, s.hx - 1, s.hz, s.hzI, cz, cx, lens[1]}; break;
        default: r = ERow{s.e[2], s.d[2], s.kp[2], s.hy, s.hyI, s.hx, s.hxJ, cx, cy, lens[2]}; break;
      }
      const int64_t at = cache.RowOf(a, i, j).Offset;
      if (p.cls >= 0) ERowConst(r, m, dispersive(p.cls), inv, coefs(p.cls), k0, k1);
      else if (cache.Wide) ERowIdx32(r, m, Debye, inv, cache.Index32.data() + at, tab, k0, k1);
      else ERowIdx16(r, m, Debye, inv, cache.Index16.data() + at, tab, k0, k1);
    };
    // Edges 2..nz-1 of the components in `comps` and Ez's 1..nz-1, piece by piece; the
    // three at once where each has one class and all keep alike in the same medium.
    const int k1 = nz - 1;
    // Ez's edge 1 joins its piece of edge 2 when that piece holds both, else goes alone.
    int ez0 = 2;
    if (comps & 4) {
      RowPieces::Piece p;
      if (pieces[2].At(1, k1, p) >= 2) ez0 = 1;
      else single(2, p, 1, 1);
    }
    for (int k = 2; k <= k1;) {
      int end = k1;
      RowPieces::Piece p[3]{};
      for (int a = 0; a < 3; ++a)
        if (comps >> a & 1) end = std::min(end, pieces[a].At(k, k1, p[a]));
      const int ezFrom = k == 2 ? ez0 : k;
      const Keep m = p[0].keep ? mode[0] : Keep::None;
      if (comps == 7 && p[0].cls >= 0 && p[1].cls >= 0 && p[2].cls >= 0 &&
          m == (p[1].keep ? mode[1] : Keep::None) && m == (p[2].keep ? mode[2] : Keep::None) &&
          dispersive(p[0].cls) == dispersive(p[1].cls) && dispersive(p[1].cls) == dispersive(p[2].cls)) {
        const ECoefs<double> c[3] = {coefs(p[0].cls), coefs(p[1].cls), coefs(p[2].cls)};
        ERow3(s, m, dispersive(p[0].cls), cx, cy, cz, inv, c, lens, ezFrom, k, end);
      } else {
        for (int a = 0; a < 3; ++a)
          if (comps >> a & 1) single(a, p[a], a == 2 ? ezFrom : k, end);
      }
      k = end + 1;
    }

    for (int a = 0; a < 3; ++a) {
      if (!(comps >> a & 1)) continue;
      float* out = s.e[a];
      // The Mur Z faces of an Ex or Ey row: the boundary edges from the new inner ones, then
      // the inner ones saved for the next step (planes 10/11 for Ex, 8/9 for Ey).
      if (a < 2 && !plain[a] && (murLo || murHi)) {
        auto& M = d.MurPlanes;
        if (murHi) {
          float& sv = M[a == 0 ? 11 : 9](i, j);
          out[nz] = MurPlain(kz, out[nz - 1], out[nz], sv);
          sv = out[nz - 1];
        }
        if (murLo) {
          float& sv = M[a == 0 ? 10 : 8](i, j);
          out[1] = MurPlain(kz, out[2], out[1], sv);
          sv = out[2];
        }
      }
      if (a < 2 && !plain[a]) {
        if (pecHi) out[nz] = 0.0f;
        if (pecLo) out[1] = 0.0f;
      }
      if (a == 2 && watch && ((i + j + d.CurStep) & 1) == 0 && !RowFinite(out, 1, nz - 1))
        std::atomic_ref<int>(f->FoundNonFinite).store(1, std::memory_order_relaxed);
    }
  };

  // Plane i: Ex rows j = 2..ny-1 from plane 1, Ey rows j = 1..ny-1 and Ez rows j = 2..ny-1
  // from plane 2.
  auto ePlane = [&](int i) {
    if (i < 2) {
      for (int j = 2; j <= ny - 1; ++j) cellRows(Comps<1>{}, i, j);
      return;
    }
    cellRows(Comps<2>{}, i, 1);
    for (int j = 2; j <= ny - 1; ++j) cellRows(Comps<7>{}, i, j);
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

bool FieldArraysMatch(const SolverData& d) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  if (nx < 2 || ny < 2 || nz < 2) return false;
  return d.Hx.hasShape(nx + 1, ny, nz) && d.Hy.hasShape(nx, ny + 1, nz) && d.Hz.hasShape(nx, ny, nz + 1) &&
         d.Ex.hasShape(nx, ny + 1, nz + 1) && d.Ey.hasShape(nx + 1, ny, nz + 1) && d.Ez.hasShape(nx + 1, ny + 1, nz);
}

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
