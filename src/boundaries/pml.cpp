#include "boundaries/pml.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "solver/constants.h"
#include "solver/kernelattrs.h"
#include "solver/workpool.h"

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
  s.Tasks.clear();
  s.Tasks.shrink_to_fit();
  s.AnyFaceCond = false;
}

namespace {

bool RegionWanted(const SolverData& d, const int side[3]) {
  for (int a = 0; a < 3; ++a)
    if (side[a] != 0 && !d.PMLFace[size_t(FaceOf(a, side[a]))]) return false;
  return true;
}

// A free axis fastest (z, else y, else x; a corner keeps x, y, z), the other two in order.
void SetLayout(PmlRegion& r) {
  int w = 2;
  for (int a : {2, 1, 0})
    if (r.Side[size_t(a)] == 0) { w = a; break; }
  const int s0 = w == 0 ? 1 : 0, s1 = w == 2 ? 1 : 2;
  r.Axes = {s0, s1, w};
  r.St[size_t(w)] = 1;
  r.St[size_t(s1)] = size_t(r.Len[size_t(w)]);
  r.St[size_t(s0)] = size_t(r.Len[size_t(w)]) * size_t(r.Len[size_t(s1)]);
}

// Blocks of a few thousand cells: enough of them to share among the threads, each long
// enough that its rows stay in the core's cache while all six parts of a pass walk them.
void MakeTasks(PmlState& s) {
  constexpr int kCells = 4096;
  s.Tasks.clear();
  for (int n = 0; n < 26; ++n) {
    const PmlRegion& r = s.Regions[size_t(n)];
    if (!r.Exists) continue;
    const int l0 = r.Len[size_t(r.Axes[0])], l1 = r.Len[size_t(r.Axes[1])], lw = r.Len[size_t(r.Axes[2])];
    if (l1 * lw >= kCells) {
      const int m = std::max(1, kCells / lw);
      for (int a = 0; a < l0; ++a)
        for (int b = 0; b < l1; b += m) s.Tasks.push_back({n, a, a + 1, b, std::min(l1, b + m)});
    } else {
      const int m = std::max(1, kCells / (l1 * lw));
      for (int a = 0; a < l0; a += m) s.Tasks.push_back({n, a, std::min(l0, a + m), 0, l1});
    }
  }
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
    SetLayout(r);
    for (t3DSpaceArray& part : r.Part)
      if (!part.allocate(r.Len[size_t(r.Axes[0])], r.Len[size_t(r.Axes[1])], r.Len[size_t(r.Axes[2])])) {
        FreePML(s);
        message = "Недостаточно памяти для слоев PML";
        return false;
      }
    r.Exists = true;
  }
  s.Zero.assign(size_t(std::max({d.Nx, d.Ny, d.Nz, p.N})) + 2, 0.f);
  s.Threaded = ParallelGrid(d.Nx, d.Ny, d.Nz);
  try {
    MakeTasks(s);
  } catch (const std::bad_alloc&) {
    FreePML(s);
    message = "Недостаточно памяти для слоев PML";
    return false;
  }
  for (int f = 1; f <= 6; ++f)
    s.AnyFaceCond |= d.PECFace[size_t(f)] || d.SymEFace[size_t(f)] || d.SymHFace[size_t(f)];
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

// A component's full value as two parts (b null: the main grid's single array),
// addressed by local indices through its strides.
struct View {
  const float* a = nullptr;
  const float* b = nullptr;
  std::array<size_t, 3> st{};
  size_t off(const int (&x)[3]) const {
    return size_t(x[0]) * st[0] + size_t(x[1]) * st[1] + size_t(x[2]) * st[2];
  }
  double value(const int (&x)[3]) const {
    const size_t o = off(x);
    return double(a[o]) + (b ? double(b[o]) : 0.0);
  }
};

View RegionView(const PmlRegion& r, bool h, int comp) {
  const int a0 = (comp + 1) % 3, a1 = (comp + 2) % 3;
  return {r.Part[size_t(PartOf(h, comp, a0))].data(), r.Part[size_t(PartOf(h, comp, a1))].data(), r.St};
}

// The main grid's array seen with local indices (local p is main p + 1).
View MainView(const t3DSpaceArray& m) {
  return {m.data() + m.strideX() + m.strideY() + 1, nullptr, {m.strideX(), m.strideY(), 1}};
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

// Calls f(x) for the first cell x of every row (along the fastest axis) of a task.
template <class F>
void ForRows(const PmlRegion& r, const PmlState::Task& t, F&& f) {
  int x[3] = {0, 0, 0};
  for (int p = t.S0; p < t.S1; ++p)
    for (int q = t.M0; q < t.M1; ++q) {
      x[r.Axes[0]] = p;
      x[r.Axes[1]] = q;
      f(x);
    }
}

// One row of an H part: component c fed along axis a by the E component 3-c-a. Along a
// graded axis the wall beyond the last layer reads as zero; along a free one the last
// index keeps its value.
void RowH(const PmlState& s, PmlRegion& r, int c, int a, const int (&x)[3]) {
  const int f = 3 - c - a, w = r.Axes[2], nw = r.Len[size_t(w)];
  const size_t o = r.Offset(x[0], x[1], x[2]), st = r.St[size_t(a)];
  float* p = r.Part[size_t(PartOf(true, c, a))].data() + o;
  const float* fa = r.Part[size_t(PartOf(false, f, (f + 1) % 3))].data() + o;
  const float* fb = r.Part[size_t(PartOf(false, f, (f + 2) % 3))].data() + o;
  const double sign = CurlSign(true, c, a);
  const int side = r.Side[size_t(a)];
  if (side == 0) {
    const double g = sign * double(s.HCoef[size_t(a)]);
    if (a == w) RowScalar(p, fa + 1, fb + 1, fa, fb, 1.0, g, 0, nw - 2);
    else if (x[a] < r.Len[size_t(a)] - 1) RowScalar(p, fa + st, fb + st, fa, fb, 1.0, g, 0, nw - 1);
    return;
  }
  const float* dec = s.DecayH[size_t(a)].data();
  const float* gain = s.GainH[size_t(a)].data();
  const double sg = sign * side;
  if (a == w) {
    RowTable(p, fa + 1, fb + 1, fa, fb, dec, gain, sg, 0, nw - 2);
    const int k = nw - 1;
    p[k] = float(double(dec[k]) * double(p[k]) +
                 sg * double(gain[k]) * (0.0 - (double(fa[k]) + double(fb[k]))));
    return;
  }
  const int rho = x[a];
  const bool wall = rho == r.Len[size_t(a)] - 1;
  RowScalar(p, wall ? s.Zero.data() : fa + st, wall ? s.Zero.data() : fb + st, fa, fb,
            double(dec[rho]), sg * double(gain[rho]), 0, nw - 1);
}

// One row of an E part: component c fed along axis a by the H component 3-c-a. At depth 0
// of a graded axis the H half a cell inside comes from the block just inside; against the
// main grid that layer keeps to the component's extent (along its own axis it lies on
// cells, one fewer than the nodes). Along a free axis index 0 keeps its value.
void RowE(const PmlState& s, const SolverData& d, PmlRegion& r, int c, int a, const int (&x)[3]) {
  const int h = 3 - c - a, w = r.Axes[2], nw = r.Len[size_t(w)];
  const size_t o = r.Offset(x[0], x[1], x[2]), st = r.St[size_t(a)];
  float* p = r.Part[size_t(PartOf(false, c, a))].data() + o;
  const float* ga = r.Part[size_t(PartOf(true, h, (h + 1) % 3))].data() + o;
  const float* gb = r.Part[size_t(PartOf(true, h, (h + 2) % 3))].data() + o;
  const double sign = CurlSign(false, c, a);
  const int side = r.Side[size_t(a)];
  if (side == 0) {
    const double g = sign * double(s.ECoef[size_t(a)]);
    if (a == w) RowScalar(p, ga, gb, ga - 1, gb - 1, 1.0, g, 1, nw - 1);
    else if (x[a] > 0) RowScalar(p, ga, gb, ga - st, gb - st, 1.0, g, 0, nw - 1);
    return;
  }
  const float* dec = s.DecayE[size_t(a)].data();
  const float* gain = s.GainE[size_t(a)].data();
  const double sg = sign * side;
  if (a != w && x[a] > 0) {
    RowScalar(p, ga, gb, ga - st, gb - st, double(dec[x[a]]), sg * double(gain[x[a]]), 0, nw - 1);
    return;
  }
  if (a == w) RowTable(p, ga, gb, ga - 1, gb - 1, dec, gain, sg, 1, nw - 1);
  // Depth 0.
  const PmlRegion* in = Inner(s, r, a);
  int e[3] = {r.Len[0] - 1, r.Len[1] - 1, r.Len[2] - 1};
  if (!in) e[c] -= 1;
  for (int b = 0; b < 3; ++b)
    if (b != a && b != w && x[b] > e[b]) return;
  const View I = in ? RegionView(*in, true, h) : MainView(MainH(d, h));
  int y[3] = {x[0], x[1], x[2]};
  y[a] = InnerL(s, a, side);
  const double g0 = sg * double(gain[0]);
  if (a == w) {
    p[0] = float(double(dec[0]) * double(p[0]) + g0 * ((double(ga[0]) + double(gb[0])) - I.value(y)));
    return;
  }
  const size_t io = I.off(y), iw = I.st[size_t(w)];
  const int kend = e[w];
  if (iw == 1) {
    RowScalar(p, ga, gb, I.a + io, I.b ? I.b + io : s.Zero.data(), double(dec[0]), g0, 0, kend);
    return;
  }
  // The inner block stores this row across its rows: gather it in pieces.
  constexpr int kPiece = 512;
  float bufA[kPiece], bufB[kPiece];
  for (int k0 = 0; k0 <= kend; k0 += kPiece) {
    const int m = std::min(kPiece, kend - k0 + 1);
    const float* srcA = I.a + io + size_t(k0) * iw;
    for (int k = 0; k < m; ++k) bufA[k] = srcA[size_t(k) * iw];
    if (I.b) {
      const float* srcB = I.b + io + size_t(k0) * iw;
      for (int k = 0; k < m; ++k) bufB[k] = srcB[size_t(k) * iw];
    }
    RowScalar(p + k0, ga + k0, gb + k0, bufA, I.b ? bufB : s.Zero.data(), double(dec[0]), g0, 0, m - 1);
  }
}

// A face writes the main grid's tangential E on its interface plane, row by row from its
// depth-0 cells. Lines shared with another PML face are left to the edge region there,
// which writes them later in the step.
void FaceInterfaceRow(const PmlState& s, SolverData& d, const PmlRegion& r, int n, const int (&x)[3]) {
  if (x[n] != 0) return;
  const int w = r.Axes[2], b = 3 - n - w;
  const size_t o = r.Offset(x[0], x[1], x[2]);
  for (int c : {(n + 1) % 3, (n + 2) % 3}) {
    const int t = 3 - n - c;  // the other tangential axis
    int lo[3] = {0, 0, 0}, up[3] = {r.Len[0] - 1, r.Len[1] - 1, r.Len[2] - 1};
    up[c] -= 1;
    if (d.PMLFace[size_t(FaceOf(t, -1))]) lo[t] = 1;
    if (d.PMLFace[size_t(FaceOf(t, 1))]) up[t] -= 1;
    if (x[b] < lo[b] || x[b] > up[b] || lo[w] > up[w]) continue;
    t3DSpaceArray& M = MainE(d, c);
    int m[3] = {x[0] + 1, x[1] + 1, x[2] + 1};
    m[n] = InnerB(s, n, r.Side[size_t(n)]) + 1;
    m[w] = lo[w] + 1;
    float* dst = &M(m[0], m[1], m[2]);
    const size_t ms = w == 0 ? M.strideX() : w == 1 ? M.strideY() : 1;
    const float* p0 = r.Part[size_t(PartOf(false, c, (c + 1) % 3))].data() + o;
    const float* p1 = r.Part[size_t(PartOf(false, c, (c + 2) % 3))].data() + o;
    for (int k = lo[w]; k <= up[w]; ++k) dst[size_t(k - lo[w]) * ms] = p0[k] + p1[k];
  }
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
    for (int x = 0; x < r.Len[size_t(u)]; ++x)
      for (int y = 0; y < r.Len[size_t(v)]; ++y) {
        int c1[3], c0[3];
        Put(c1, a, at); Put(c1, u, x); Put(c1, v, y);
        Put(c0, a, from); Put(c0, u, x); Put(c0, v, y);
        float& dst = r.at(p, c1[0], c1[1], c1[2]);
        switch (cond) {
          case Cond::SymE: dst = r.at(p, c0[0], c0[1], c0[2]); break;
          case Cond::SymH: dst = -r.at(p, c0[0], c0[1], c0[2]); break;
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
      for (int x = 0; x < r.Len[size_t(u)]; ++x)
        for (int y = 0; y < r.Len[size_t(v)]; ++y) {
          int q[3];
          q[a] = 0; q[u] = x; q[v] = y;
          if (c == skipComp && ((skipLo && q[w] == 0) || (skipHi && q[w] == r.Len[size_t(w)] - 1)))
            continue;
          const float value = r.at(p, q[0], q[1], q[2]);
          q[a] = B;
          in.at(p, q[0], q[1], q[2]) = value;
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
  // Every region's H reads only its own E: one pass over all blocks.
  ParallelFor(0, int(s.Tasks.size()), [&](int n) {
    const PmlState::Task& t = s.Tasks[size_t(n)];
    PmlRegion& r = s.Regions[size_t(t.Region)];
    for (int c = 0; c < 3; ++c)
      for (int a = 0; a < 3; ++a)
        if (a != c) ForRows(r, t, [&](const int (&x)[3]) { RowH(s, r, c, a, x); });
  }, s.Threaded);
}

void UpdatePMLE(PmlState& s, SolverData& d) {
  if (!s.Allocated()) return;
  // The regions' own updates read only H and are independent of each other; a face hands
  // its interface plane to the main grid as soon as its block is done.
  ParallelFor(0, int(s.Tasks.size()), [&](int n) {
    const PmlState::Task& t = s.Tasks[size_t(n)];
    PmlRegion& r = s.Regions[size_t(t.Region)];
    for (int c = 0; c < 3; ++c)
      for (int a = 0; a < 3; ++a)
        if (a != c) ForRows(r, t, [&](const int (&x)[3]) { RowE(s, d, r, c, a, x); });
    if (t.Region < 6) {
      const int a = r.Side[0] ? 0 : r.Side[1] ? 1 : 2;
      ForRows(r, t, [&](const int (&x)[3]) { FaceInterfaceRow(s, d, r, a, x); });
    }
  }, s.Threaded);
  // Then the faces' side conditions, before an edge writes those planes; the edges hand
  // their E on (disjoint cells); the corners overwrite the edges' ends.
  if (s.AnyFaceCond)
    ParallelFor(0, 6, [&](int n) {
      PmlRegion& r = s.Regions[size_t(n)];
      if (r.Exists) FaceSideConditions(d, r, r.Side[0] ? 0 : r.Side[1] ? 1 : 2);
    }, s.Threaded);
  bool edges = false;
  for (int n = 6; n < 18; ++n) edges |= s.Regions[size_t(n)].Exists;
  if (edges)
    ParallelFor(6, 18, [&](int n) {
      PmlRegion& r = s.Regions[size_t(n)];
      if (!r.Exists) return;
      for (int a = 0; a < 3; ++a)
        if (r.Side[size_t(a)]) CopyInward(s, r, a);
      EdgeLineWrite(s, d, r);
      EdgeEndConditions(d, r, r.Side[0] == 0 ? 0 : r.Side[1] == 0 ? 1 : 2);
    }, s.Threaded);
  for (int n = 18; n < 26; ++n) {
    PmlRegion& r = s.Regions[size_t(n)];
    if (!r.Exists) continue;
    for (int a = 0; a < 3; ++a) CopyInward(s, r, a);
  }
}

}  // namespace rv
