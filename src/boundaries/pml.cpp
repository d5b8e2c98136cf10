#include "boundaries/pml.h"

#include <algorithm>
#include <cmath>

#include "solver/constants.h"
#include "solver/kernelattrs.h"

namespace rv {

// ---------------------------------------------------------------- profile and tables

float PMLSigma(const PmlProfile& p, float d, float rho) {
  using LD = long double;
  const LD N = p.N, lnR = std::log((LD)p.R), e0c = (LD)Eps0 * (LD)LightSpeed, dd = d;
  if (p.Parabolic) {
    const LD base = -e0c * lnR / (16 * dd * N * N * N);
    if (rho == 0) return float(base);
    const LD a = 2 * (LD)rho + 1, b = 2 * (LD)rho - 1;
    return float(base * (a * a * a - b * b * b));
  }
  const LD g = 2.15L, gN = std::pow(g, N) - 1;
  if (rho == 0) return float(lnR * e0c * (1 - std::sqrt(g)) / (2 * dd * gN));
  return float(lnR * e0c * (-1.15L) * std::pow(g, (LD)rho) / (std::sqrt(g) * 2 * dd * gN));
}

float PMLLowFrequency(const PmlProfile& p, float d) {
  return float((long double)PMLSigma(p, d, 0) / (2 * 3.14159265358979323846L * (long double)Eps0));
}

bool PMLReflectionValid(float R) { return R > 0 && R <= 1; }

void CalcPMLCoefficients(PmlState& s, const SolverData& d) {
  using LD = long double;
  const int N = s.Profile.N;
  const LD dt = d.TimeStepSec, e0 = Eps0, m0 = Mu0;
  const float cell[3] = {float(d.Dx), float(d.Dy), float(d.Dz)};
  for (int a = 0; a < 3; ++a) {
    s.DecayE[a].assign(size_t(N), 0.f); s.GainE[a].assign(size_t(N), 0.f);
    s.DecayH[a].assign(size_t(N), 0.f); s.GainH[a].assign(size_t(N), 0.f);
    for (int r = 0; r < N; ++r) {
      const LD sE = PMLSigma(s.Profile, cell[a], float(r));
      const LD sH = float((LD)PMLSigma(s.Profile, cell[a], float(r) + 0.5f) * m0 / e0);
      s.GainE[a][size_t(r)] = float(dt / (sE * dt / 2 + e0) / (LD)cell[a]);
      s.GainH[a][size_t(r)] = float(dt / (sH * dt / 2 + m0) / (LD)cell[a]);
      s.DecayE[a][size_t(r)] = float((e0 - sE * dt / 2) / (sE * dt / 2 + e0));
      s.DecayH[a][size_t(r)] = float((m0 - sH * dt / 2) / (sH * dt / 2 + m0));
    }
  }
  const double step[3] = {d.Dx, d.Dy, d.Dz};
  for (int a = 0; a < 3; ++a) {
    s.HCoef[size_t(a)] = float(dt / m0 / (LD)step[a]);
    s.ECoef[size_t(a)] = float(dt / e0 / (LD)step[a]);
  }
}

// ---------------------------------------------------------------- regions

namespace {

// The update order: faces, edges, corners.
constexpr int kSides[26][3] = {
    {0, -1, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0},
    {0, -1, 1}, {0, -1, -1}, {0, 1, 1}, {0, 1, -1}, {1, 0, 1}, {-1, 0, 1},
    {1, 0, -1}, {-1, 0, -1}, {1, -1, 0}, {-1, -1, 0}, {1, 1, 0}, {-1, 1, 0},
    {1, 1, 1}, {-1, 1, 1}, {1, -1, 1}, {1, 1, -1}, {-1, -1, 1}, {-1, 1, -1}, {1, -1, -1},
    {-1, -1, -1}};

// The face flag index of an axis and side.
int FaceOf(int axis, int side) {
  static constexpr int f[3][2] = {{FaceX1, FaceXMax}, {FaceY1, FaceYMax}, {FaceZ1, FaceZMax}};
  return f[axis][side > 0 ? 1 : 0];
}

int GradedCount(const PmlRegion& r) {
  return (r.Side[0] != 0) + (r.Side[1] != 0) + (r.Side[2] != 0);
}

// Part index of component c fed along axis a (a != c).
constexpr int PartOf(bool h, int c, int a) { return (h ? 6 : 0) + 2 * c + (a > c ? a - 1 : a); }
// Sign of the part's term in the curl equations: + for E fed along the next axis in cyclic
// order (Exy, Eyz, Ezx); H the opposite.
constexpr double CurlSign(bool h, int c, int a) {
  return ((a - c + 3) % 3 == 1) == !h ? 1.0 : -1.0;
}

}  // namespace

double PmlRegion::Full(bool h, int comp, int i, int j, int k) const {
  const int a0 = (comp + 1) % 3, a1 = (comp + 2) % 3;
  return double(at(PartOf(h, comp, a0), i, j, k)) + double(at(PartOf(h, comp, a1), i, j, k));
}

PmlRegion* PmlState::Find(int sx, int sy, int sz) {
  for (PmlRegion& r : Regions)
    if (r.Side[0] == sx && r.Side[1] == sy && r.Side[2] == sz) return r.Exists ? &r : nullptr;
  return nullptr;
}
const PmlRegion* PmlState::Find(int sx, int sy, int sz) const {
  return const_cast<PmlState*>(this)->Find(sx, sy, sz);
}

void FreePML(PmlState& s) {
  for (int a = 0; a < 3; ++a) {
    s.DecayE[a].clear(); s.DecayH[a].clear(); s.GainE[a].clear(); s.GainH[a].clear();
    s.DecayE[a].shrink_to_fit(); s.DecayH[a].shrink_to_fit();
    s.GainE[a].shrink_to_fit(); s.GainH[a].shrink_to_fit();
  }
  for (PmlRegion& r : s.Regions) {
    for (t3DSpaceArray& p : r.Part) p.free();
    r.Exists = false;
  }
  s.Zero.clear();
  s.Zero.shrink_to_fit();
}

namespace {

bool RegionWanted(const SolverData& d, const int side[3]) {
  for (int a = 0; a < 3; ++a)
    if (side[a] != 0 && !d.PMLFace[size_t(FaceOf(a, side[a]))]) return false;
  return true;
}

}  // namespace

uint64_t PMLBytes(const SolverData& d, int N) {
  if (!d.AnyPML) return 0;
  const int node[3] = {d.Nx, d.Ny, d.Nz};
  uint64_t cells = 0;
  for (const auto& sd : kSides) {
    if (!RegionWanted(d, sd)) continue;
    uint64_t c = 1;
    for (int a = 0; a < 3; ++a) c *= uint64_t(sd[a] ? N : node[a]);
    cells += c;
  }
  return cells * PmlPartCount * sizeof(float) + 12 * uint64_t(N) * sizeof(float);
}

bool SetupPML(PmlState& s, const SolverData& d, const PmlProfile& p, std::string& message) {
  FreePML(s);
  if (!d.AnyPML) return true;
  if (!PMLReflectionValid(p.R)) {
    message = "Коэффициент отражения PML должен быть больше 0 и не больше 1";
    return false;
  }
  if (p.N < 1 || d.Nx < 2 || d.Ny < 2 || d.Nz < 2) {
    message = "Размеры PML не соответствуют сетке";
    return false;
  }
  s.Profile = p;
  s.Nx = d.Nx; s.Ny = d.Ny; s.Nz = d.Nz;
  const int node[3] = {d.Nx, d.Ny, d.Nz};
  for (int n = 0; n < 26; ++n) {
    PmlRegion& r = s.Regions[size_t(n)];
    r.Order = n;
    for (int a = 0; a < 3; ++a) {
      r.Side[size_t(a)] = kSides[n][a];
      r.Len[size_t(a)] = kSides[n][a] ? p.N : node[a];
    }
    if (!RegionWanted(d, kSides[n])) continue;
    for (t3DSpaceArray& part : r.Part)
      if (!part.allocate(r.Len[0], r.Len[1], r.Len[2])) {
        FreePML(s);
        message = "Недостаточно памяти для слоев PML";
        return false;
      }
    r.Exists = true;
  }
  s.Zero.assign(size_t(std::max({d.Nx, d.Ny, d.Nz, p.N})) + 2, 0.f);
  s.Threaded = size_t(d.Nx) * size_t(d.Ny) * size_t(d.Nz) >= 32768;
  CalcPMLCoefficients(s, d);
  return true;
}

bool PMLDProbe(const PmlState& s, double& value) {
  const PmlRegion* ym = s.Find(0, 1, 0);
  const PmlRegion* xm = s.Find(1, 0, 0);
  if (!ym || !xm || s.Nz < 51 || s.Nx < 2 || s.Ny < 2) return false;
  value = ym->Full(true, 1, s.Nx - 2, 0, 49) + xm->Full(true, 0, 0, s.Ny - 2, 49);
  return true;
}

// ---------------------------------------------------------------- per-step updates

namespace {

// P := dec*P + g*((a1 + b1) - (a0 + b0)) over k0..k1.
RV_KERNEL void RowScalar(float* RV_RESTRICT p, const float* RV_RESTRICT a1,
                         const float* RV_RESTRICT b1, const float* RV_RESTRICT a0,
                         const float* RV_RESTRICT b0, double dec, double g, int k0, int k1) {
  for (int k = k0; k <= k1; ++k) {
    const double diff = (double(a1[k]) + double(b1[k])) - (double(a0[k]) + double(b0[k]));
    p[k] = float(dec * double(p[k]) + g * diff);
  }
}

// The same with the decay and gain looked up by k (a part graded along z); sg is the sign.
RV_KERNEL void RowTable(float* RV_RESTRICT p, const float* RV_RESTRICT a1,
                        const float* RV_RESTRICT b1, const float* RV_RESTRICT a0,
                        const float* RV_RESTRICT b0, const float* RV_RESTRICT dec,
                        const float* RV_RESTRICT gain, double sg, int k0, int k1) {
  for (int k = k0; k <= k1; ++k) {
    const double diff = (double(a1[k]) + double(b1[k])) - (double(a0[k]) + double(b0[k]));
    p[k] = float(double(dec[k]) * double(p[k]) + sg * double(gain[k]) * diff);
  }
}

// A component's full value as two parts (b may be null: the main grid's single array),
// addressed by local indices.
struct View {
  const float* a = nullptr;
  const float* b = nullptr;
  size_t sx = 0, sy = 0;
  const float* rowA(int i, int j) const { return a + i * sx + j * sy; }
  const float* rowB(int i, int j, const float* zero) const { return b ? b + i * sx + j * sy : zero; }
  double value(int i, int j, int k) const {
    const size_t o = i * sx + j * sy + size_t(k);
    return double(a[o]) + (b ? double(b[o]) : 0.0);
  }
};

View RegionView(const PmlRegion& r, bool h, int comp) {
  const int a0 = (comp + 1) % 3, a1 = (comp + 2) % 3;
  const t3DSpaceArray& p = r.Part[size_t(PartOf(h, comp, a0))];
  return {p.data(), r.Part[size_t(PartOf(h, comp, a1))].data(), p.strideX(), p.strideY()};
}

// The main grid's array seen with local indices (local p is main p + 1).
template <class A>
View MainView(A& m) {
  return {m.data() + m.strideX() + m.strideY() + 1, nullptr, m.strideX(), m.strideY()};
}

const t3DSpaceArray& MainH(const SolverData& d, int c) { return c == 0 ? d.Hx : c == 1 ? d.Hy : d.Hz; }
t3DSpaceArray& MainE(SolverData& d, int c) { return c == 0 ? d.Ex : c == 1 ? d.Ey : d.Ez; }

// Index, in the block just inside along axis a, of the last cell before the interface (L)
// and of the interface plane (B), in that block's local indices.
int InnerL(const PmlState& s, int a, int side) {
  const int n = a == 0 ? s.Nx : a == 1 ? s.Ny : s.Nz;
  return side > 0 ? n - 2 : 0;
}
int InnerB(const PmlState& s, int a, int side) {
  const int n = a == 0 ? s.Nx : a == 1 ? s.Ny : s.Nz;
  return side > 0 ? n - 1 : 0;
}

// The block just inside r along graded axis a, or null for the main grid.
const PmlRegion* Inner(const PmlState& s, const PmlRegion& r, int a) {
  int sd[3] = {r.Side[0], r.Side[1], r.Side[2]};
  sd[a] = 0;
  if (sd[0] == 0 && sd[1] == 0 && sd[2] == 0) return nullptr;
  return s.Find(sd[0], sd[1], sd[2]);
}

// A part fed along a free axis a: P += g*(F[f+1] - F[f]) for H over f = 0..n-2, and
// P += g*(F[f] - F[f-1]) for E over f = 1..n-1; the other end keeps its value.
void UpdateFree(float* P, const View& F, const std::array<int, 3>& len, int a, double g,
                const float* zero, bool e) {
  const int sh = e ? 0 : 1;  // offset of the upper neighbour
  const int n0 = len[0], n1 = len[1], n2 = len[2];
  if (a == 2) {
#pragma omp for collapse(2) schedule(static) nowait
    for (int i = 0; i < n0; ++i)
      for (int j = 0; j < n1; ++j) {
        const float *fa = F.rowA(i, j) + sh, *fb = F.rowB(i, j, zero) + sh;
        RowScalar(P + i * F.sx + j * F.sy, fa, fb, fa - 1, fb - 1, 1.0, g, e ? 1 : 0,
                  e ? n2 - 1 : n2 - 2);
      }
    return;
  }
  const int i0 = a == 0 && e ? 1 : 0, j0 = a == 1 && e ? 1 : 0;
  const int m0 = a == 0 && !e ? n0 - 1 : n0, m1 = a == 1 && !e ? n1 - 1 : n1;
#pragma omp for collapse(2) schedule(static) nowait
  for (int i = i0; i < m0; ++i)
    for (int j = j0; j < m1; ++j) {
      const int i1 = a == 0 ? i + sh : i, j1 = a == 1 ? j + sh : j;
      const int ip = a == 0 ? i1 - 1 : i, jp = a == 1 ? j1 - 1 : j;
      RowScalar(P + i * F.sx + j * F.sy, F.rowA(i1, j1), F.rowB(i1, j1, zero), F.rowA(ip, jp),
                F.rowB(ip, jp, zero), 1.0, g, 0, n2 - 1);
    }
}

// One H part of a region: component c fed along axis a by the E component f.
void UpdatePartH(const PmlState& s, PmlRegion& r, int c, int a) {
  const int f = 3 - c - a;
  float* P = r.Part[size_t(PartOf(true, c, a))].data();
  const View F = RegionView(r, false, f);
  const size_t sx = F.sx, sy = F.sy;
  const int n0 = r.Len[0], n1 = r.Len[1], n2 = r.Len[2];
  const float* zero = s.Zero.data();
  const double sign = CurlSign(true, c, a);
  auto row = [&](int i, int j) { return P + i * sx + j * sy; };
  if (r.Side[size_t(a)] != 0) {
    const float* dec = s.DecayH[size_t(a)].data();
    const float* gain = s.GainH[size_t(a)].data();
    const double sg = sign * r.Side[size_t(a)];
    if (a == 2) {
#pragma omp for collapse(2) schedule(static) nowait
      for (int i = 0; i < n0; ++i)
        for (int j = 0; j < n1; ++j) {
          const float *fa = F.rowA(i, j), *fb = F.rowB(i, j, zero);
          float* p = row(i, j);
          RowTable(p, fa + 1, fb + 1, fa, fb, dec, gain, sg, 0, n2 - 2);
          const int k = n2 - 1;  // the wall beyond the last layer
          p[k] = float(double(dec[k]) * double(p[k]) +
                       sg * double(gain[k]) * (0.0 - (double(fa[k]) + double(fb[k]))));
        }
    } else {
#pragma omp for collapse(2) schedule(static) nowait
      for (int i = 0; i < n0; ++i)
        for (int j = 0; j < n1; ++j) {
          const int rho = a == 0 ? i : j, last = a == 0 ? n0 - 1 : n1 - 1;
          const int i1 = a == 0 ? i + 1 : i, j1 = a == 1 ? j + 1 : j;
          const float* a1 = rho < last ? F.rowA(i1, j1) : zero;
          const float* b1 = rho < last ? F.rowB(i1, j1, zero) : zero;
          RowScalar(row(i, j), a1, b1, F.rowA(i, j), F.rowB(i, j, zero), double(dec[rho]),
                    sg * double(gain[rho]), 0, n2 - 1);
        }
    }
    return;
  }
  UpdateFree(P, F, r.Len, a, sign * double(s.HCoef[size_t(a)]), zero, false);
}

// One E part of a region: component c fed along axis a by the H component g. At depth 0 of
// a graded axis the H half a cell inside comes from the block just inside.
void UpdatePartE(const PmlState& s, const SolverData& d, PmlRegion& r, int c, int a) {
  const int h = 3 - c - a;
  float* P = r.Part[size_t(PartOf(false, c, a))].data();
  const View G = RegionView(r, true, h);
  const size_t sx = G.sx, sy = G.sy;
  const int n0 = r.Len[0], n1 = r.Len[1], n2 = r.Len[2];
  const float* zero = s.Zero.data();
  const double sign = CurlSign(false, c, a);
  auto row = [&](int i, int j) { return P + i * sx + j * sy; };
  if (r.Side[size_t(a)] != 0) {
    const float* dec = s.DecayE[size_t(a)].data();
    const float* gain = s.GainE[size_t(a)].data();
    const double sg = sign * r.Side[size_t(a)];
    const PmlRegion* in = Inner(s, r, a);
    const View I = in ? RegionView(*in, true, h) : MainView(MainH(d, h));
    const int L = InnerL(s, a, r.Side[size_t(a)]);
    // Against the main grid the depth-0 layer keeps to the component's extent: along its
    // own axis it lies on cells, one fewer than the nodes.
    int e[3] = {n0 - 1, n1 - 1, n2 - 1};
    if (!in) e[c] -= 1;
    if (a == 2) {
#pragma omp for collapse(2) schedule(static) nowait
      for (int i = 0; i < n0; ++i)
        for (int j = 0; j < n1; ++j) {
          const float *ga = G.rowA(i, j), *gb = G.rowB(i, j, zero);
          float* p = row(i, j);
          RowTable(p, ga, gb, ga - 1, gb - 1, dec, gain, sg, 1, n2 - 1);
          if (i <= e[0] && j <= e[1])
            p[0] = float(double(dec[0]) * double(p[0]) +
                         sg * double(gain[0]) *
                             ((double(ga[0]) + double(gb[0])) - I.value(i, j, L)));
        }
      return;
    }
    // Depth 0: the inner block's row at index L along a.
    const int m0 = a == 0 ? 1 : e[0] + 1, m1 = a == 1 ? 1 : e[1] + 1;
#pragma omp for collapse(2) schedule(static) nowait
    for (int i = 0; i < m0; ++i)
      for (int j = 0; j < m1; ++j) {
        const int ii = a == 0 ? L : i, jj = a == 1 ? L : j;
        RowScalar(row(i, j), G.rowA(i, j), G.rowB(i, j, zero), I.rowA(ii, jj),
                  I.rowB(ii, jj, zero), double(dec[0]), sg * double(gain[0]), 0, e[2]);
      }
    const int i0 = a == 0 ? 1 : 0, j0 = a == 1 ? 1 : 0;
#pragma omp for collapse(2) schedule(static) nowait
    for (int i = i0; i < n0; ++i)
      for (int j = j0; j < n1; ++j) {
        const int rho = a == 0 ? i : j;
        const int ip = a == 0 ? i - 1 : i, jp = a == 1 ? j - 1 : j;
        RowScalar(row(i, j), G.rowA(i, j), G.rowB(i, j, zero), G.rowA(ip, jp),
                  G.rowB(ip, jp, zero), double(dec[rho]), sg * double(gain[rho]), 0, n2 - 1);
      }
    return;
  }
  UpdateFree(P, G, r.Len, a, sign * double(s.ECoef[size_t(a)]), zero, true);
}

// Cell (i, j, k) of a region with index v along axis a.
inline void Put(int (&x)[3], int a, int v) { x[a] = v; }

enum class Cond { SymE, SymH, PEC };

// A face's kind as a condition on a region's plane, if it has one.
bool FaceCond(const SolverData& d, int face, bool pecPass, Cond& c) {
  if (pecPass) {
    if (!d.PECFace[size_t(face)]) return false;
    c = Cond::PEC;
    return true;
  }
  if (d.SymEFace[size_t(face)]) { c = Cond::SymE; return true; }
  if (d.SymHFace[size_t(face)]) { c = Cond::SymH; return true; }
  return false;
}

// The plane of r at the low (hi false) or high end of free axis a takes a condition: both
// parts of the two E components tangential to it.
void ApplyPlane(PmlRegion& r, int a, bool hi, Cond cond) {
  const int n = r.Len[size_t(a)];
  if (n < 2) return;
  const int at = hi ? n - 1 : 0, from = hi ? n - 2 : 1;
  const int u = (a + 1) % 3, v = (a + 2) % 3;
  const int parts[4] = {PartOf(false, u, a), PartOf(false, u, v), PartOf(false, v, a),
                        PartOf(false, v, u)};
  for (int p : parts) {
    t3DSpaceArray& A = r.Part[size_t(p)];
    for (int x = 0; x < r.Len[size_t(u)]; ++x)
      for (int y = 0; y < r.Len[size_t(v)]; ++y) {
        int c1[3], c0[3];
        Put(c1, a, at); Put(c1, u, x); Put(c1, v, y);
        Put(c0, a, from); Put(c0, u, x); Put(c0, v, y);
        float& dst = A(c1[0], c1[1], c1[2]);
        switch (cond) {
          case Cond::SymE: dst = A(c0[0], c0[1], c0[2]); break;
          case Cond::SymH: dst = -A(c0[0], c0[1], c0[2]); break;
          case Cond::PEC: dst = 0; break;
        }
      }
  }
}

// Side planes of a face (normal n), in the fixed order: symmetry conditions first, then PEC;
// where two planes meet the later one stands.
void FaceSideConditions(const SolverData& d, PmlRegion& r, int n) {
  struct Step { int axis; bool hi; bool pec; };
  static constexpr Step kX[8] = {{2, true, false}, {2, false, false}, {1, false, false},
                                 {1, true, false}, {1, false, true}, {1, true, true},
                                 {2, true, true}, {2, false, true}};
  static constexpr Step kY[8] = {{2, true, false}, {2, false, false}, {0, false, false},
                                 {0, true, false}, {0, false, true}, {0, true, true},
                                 {2, true, true}, {2, false, true}};
  static constexpr Step kZ[8] = {{0, false, false}, {0, true, false}, {1, false, false},
                                 {1, true, false}, {1, false, true}, {1, true, true},
                                 {0, false, true}, {0, true, true}};
  const Step* steps = n == 0 ? kX : n == 1 ? kY : kZ;
  for (int i = 0; i < 8; ++i) {
    Cond c;
    if (FaceCond(d, FaceOf(steps[i].axis, steps[i].hi ? 1 : -1), steps[i].pec, c))
      ApplyPlane(r, steps[i].axis, steps[i].hi, c);
  }
}

// Edge ends along the free axis w, in the fixed order.
void EdgeEndConditions(const SolverData& d, PmlRegion& r, int w) {
  // Ends along z start at the max face, along x and y at face 1.
  const bool firstHi = w == 2;
  for (bool pec : {false, true})
    for (bool hi : {firstHi, !firstHi}) {
      Cond c;
      if (FaceCond(d, FaceOf(w, hi ? 1 : -1), pec, c)) ApplyPlane(r, w, hi, c);
    }
}

// A face writes the main grid's tangential E on its interface plane. Lines shared with
// another PML face are left to the edge region there, which writes them later in the step.
void FaceInterfaceWrite(const PmlState& s, SolverData& d, const PmlRegion& r, int n) {
  const int B = InnerB(s, n, r.Side[size_t(n)]);
  for (int c : {(n + 1) % 3, (n + 2) % 3}) {
    const int t = 3 - n - c;  // the other tangential axis
    t3DSpaceArray& M = MainE(d, c);
    const int hi[3] = {r.Len[0] - 1, r.Len[1] - 1, r.Len[2] - 1};
    int lo[3] = {0, 0, 0}, up[3] = {hi[0], hi[1], hi[2]};
    up[c] -= 1;
    lo[n] = up[n] = 0;
    if (d.PMLFace[size_t(FaceOf(t, -1))]) lo[t] = 1;
    if (d.PMLFace[size_t(FaceOf(t, 1))]) up[t] = hi[t] - 1;
    const int p0 = PartOf(false, c, (c + 1) % 3), p1 = PartOf(false, c, (c + 2) % 3);
    for (int i = lo[0]; i <= up[0]; ++i)
      for (int j = lo[1]; j <= up[1]; ++j)
        for (int k = lo[2]; k <= up[2]; ++k) {
          int m[3] = {i + 1, j + 1, k + 1};
          m[n] = B + 1;
          M(m[0], m[1], m[2]) = r.at(p0, i, j, k) + r.at(p1, i, j, k);
        }
  }
}

// Region r hands its depth-0 E along graded axis a to the region just inside (edges to
// faces, corners to edges): both parts of the two components tangential to the interface.
// Where two edges write the same line of a face (the face's normal component at the end of
// both edges), the edge later in the update order stands; the earlier one leaves it.
void CopyInward(PmlState& s, PmlRegion& r, int a) {
  const PmlRegion* inC = Inner(s, r, a);
  if (!inC) return;
  PmlRegion& in = const_cast<PmlRegion&>(*inC);
  const int B = InnerB(s, a, r.Side[size_t(a)]);
  int skipComp = -1, w = -1;
  bool skipLo = false, skipHi = false;
  if (GradedCount(r) == 2) {
    const int v = (r.Side[(a + 1) % 3] != 0) ? (a + 1) % 3 : (a + 2) % 3;
    w = 3 - a - v;
    for (int end : {-1, 1}) {
      int sd[3] = {0, 0, 0};
      sd[v] = r.Side[size_t(v)];
      sd[w] = end;
      const PmlRegion* other = s.Find(sd[0], sd[1], sd[2]);
      if (other && other->Order > r.Order) (end < 0 ? skipLo : skipHi) = true;
    }
    skipComp = v;
  }
  const int u = (a + 1) % 3, v = (a + 2) % 3;  // the plane's two axes
  for (int c : {u, v})
    for (int p : {PartOf(false, c, (c + 1) % 3), PartOf(false, c, (c + 2) % 3)}) {
      const t3DSpaceArray& src = r.Part[size_t(p)];
      t3DSpaceArray& dst = in.Part[size_t(p)];
      for (int x = 0; x < r.Len[size_t(u)]; ++x)
        for (int y = 0; y < r.Len[size_t(v)]; ++y) {
          int q[3];
          q[a] = 0; q[u] = x; q[v] = y;
          if (c == skipComp && ((skipLo && q[w] == 0) || (skipHi && q[w] == r.Len[size_t(w)] - 1)))
            continue;
          const float value = src(q[0], q[1], q[2]);
          q[a] = B;
          dst(q[0], q[1], q[2]) = value;
        }
    }
}

// An edge writes the main grid's E along its own axis w on the grid's edge line.
void EdgeLineWrite(const PmlState& s, SolverData& d, const PmlRegion& r) {
  const int w = r.Side[0] == 0 ? 0 : r.Side[1] == 0 ? 1 : 2;
  int m[3];
  for (int a = 0; a < 3; ++a)
    if (a != w) m[a] = InnerB(s, a, r.Side[size_t(a)]) + 1;
  t3DSpaceArray& M = MainE(d, w);
  const int p0 = PartOf(false, w, (w + 1) % 3), p1 = PartOf(false, w, (w + 2) % 3);
  for (int f = 0; f <= r.Len[size_t(w)] - 2; ++f) {
    int x[3] = {0, 0, 0};
    x[w] = f;
    m[w] = f + 1;
    M(m[0], m[1], m[2]) = r.at(p0, x[0], x[1], x[2]) + r.at(p1, x[0], x[1], x[2]);
  }
}

}  // namespace

void UpdatePMLH(PmlState& s) {
  if (!s.Allocated()) return;
#pragma omp parallel if (s.Threaded)
  for (PmlRegion& r : s.Regions) {
    if (!r.Exists) continue;
    for (int c = 0; c < 3; ++c)
      for (int a = 0; a < 3; ++a)
        if (a != c) UpdatePartH(s, r, c, a);
  }
}

void UpdatePMLE(PmlState& s, SolverData& d) {
  if (!s.Allocated()) return;
  // The regions' own updates read only H and are independent of each other; then faces
  // and edges hand their E on (disjoint cells); then the corners overwrite the edges' ends.
#pragma omp parallel if (s.Threaded)
  {
    for (PmlRegion& r : s.Regions) {
      if (!r.Exists) continue;
      for (int c = 0; c < 3; ++c)
        for (int a = 0; a < 3; ++a)
          if (a != c) UpdatePartE(s, d, r, c, a);
    }
#pragma omp barrier
    // Faces first: a face's side condition may read a cell an edge writes afterwards.
#pragma omp for schedule(dynamic, 1)
    for (int n = 0; n < 6; ++n) {
      PmlRegion& r = s.Regions[size_t(n)];
      if (!r.Exists) continue;
      const int a = r.Side[0] ? 0 : r.Side[1] ? 1 : 2;
      FaceInterfaceWrite(s, d, r, a);
      FaceSideConditions(d, r, a);
    }
#pragma omp for schedule(dynamic, 1)
    for (int n = 6; n < 18; ++n) {
      PmlRegion& r = s.Regions[size_t(n)];
      if (!r.Exists) continue;
      for (int a = 0; a < 3; ++a)
        if (r.Side[size_t(a)]) CopyInward(s, r, a);
      EdgeLineWrite(s, d, r);
      EdgeEndConditions(d, r, r.Side[0] == 0 ? 0 : r.Side[1] == 0 ? 1 : 2);
    }
#pragma omp for schedule(static)
    for (int n = 18; n < 26; ++n) {
      PmlRegion& r = s.Regions[size_t(n)];
      if (!r.Exists) continue;
      for (int a = 0; a < 3; ++a) CopyInward(s, r, a);
    }
  }
}

}  // namespace rv
