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

// Sign of the part's term in the curl equations: + for E fed along the next axis in cyclic
// order (Exy, Eyz, Ezx); H the opposite.
constexpr double CurlSign(bool h, int c, int a) {
  return ((a - c + 3) % 3 == 1) == !h ? 1.0 : -1.0;
}

}  // namespace

double PmlRegion::PartValue(int part, int i, int j, int k) const {
  const bool h = part >= 6;
  const int c = (part % 6) / 2, a = part % 2 == 0 ? (c == 0 ? 1 : 0) : (c == 2 ? 1 : 2);
  const size_t o = Offset(i, j, k), n = size_t(h * 3 + c);
  const double total = Total[n].data()[o];
  const bool next = a == (c + 1) % 3;
  if (Split[n].empty()) return next ? total : 0.0;
  const double split = Split[n].data()[o];
  return next ? split : total - split;
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
    for (t3DSpaceArray& p : r.Total) p.free();
    for (t3DSpaceArray& p : r.Split) p.free();
    r.Exists = false;
  }
  s.Zero.clear();
  s.Zero.shrink_to_fit();
  s.Tasks.clear();
  s.Tasks.shrink_to_fit();
  s.AnyFaceCond = false;
}

namespace {

// A component is split unless both axes that feed it are free.
bool Split(const int side[3], int c) { return side[(c + 1) % 3] != 0 || side[(c + 2) % 3] != 0; }

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
// enough that its rows stay in the core's cache while the three components of a pass walk them.
// A block spans every depth of a graded slowest axis, so the neighbour row across the layer
// is one the block has just read.
void MakeTasks(PmlState& s) {
  constexpr int kCells = 16384;
  s.Tasks.clear();
  for (int n = 0; n < 26; ++n) {
    const PmlRegion& r = s.Regions[size_t(n)];
    if (!r.Exists) continue;
    const int l0 = r.Len[size_t(r.Axes[0])], l1 = r.Len[size_t(r.Axes[1])], lw = r.Len[size_t(r.Axes[2])];
    if (r.Side[size_t(r.Axes[0])] != 0) {
      const int m = std::max(1, kCells / (l0 * lw));
      for (int b = 0; b < l1; b += m) s.Tasks.push_back({n, 0, l0, b, std::min(l1, b + m)});
    } else if (l1 * lw >= kCells) {
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
    const int l0 = r.Len[size_t(r.Axes[0])], l1 = r.Len[size_t(r.Axes[1])], l2 = r.Len[size_t(r.Axes[2])];
    for (int c = 0; c < 6; ++c)
      if (!r.Total[size_t(c)].allocate(l0, l1, l2) ||
          (Split(kSides[n], c % 3) && !r.Split[size_t(c)].allocate(l0, l1, l2))) {
        FreePML(s);
        message = "Недостаточно памяти для слоев PML";
        return false;
      }
    r.Exists = true;
  }
  for (PmlRegion& r : s.Regions)
    for (int a = 0; a < 3; ++a) {
      int sd[3] = {r.Side[0], r.Side[1], r.Side[2]};
      sd[a] = 0;
      const PmlRegion* in = r.Side[size_t(a)] && (sd[0] || sd[1] || sd[2]) ? s.Find(sd[0], sd[1], sd[2]) : nullptr;
      r.In[size_t(a)] = in ? int(in - s.Regions.data()) : -1;
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

// The bulk of a row of a split component: the part fed along the next axis P, the sum F,
// the other part F - P; each part decays and gains its own difference u - l.
RV_KERNEL void RowSplit(float* RV_RESTRICT f, float* RV_RESTRICT p, const float* RV_RESTRICT u0,
                        const float* RV_RESTRICT l0, const float* RV_RESTRICT u1,
                        const float* RV_RESTRICT l1, double dec0, double g0, double dec1,
                        double g1, int k0, int k1) {
  for (int k = k0; k <= k1; ++k) {
    const double p0 = p[k], p1 = double(f[k]) - p0;
    const float n0 = float(dec0 * p0 + g0 * (double(u0[k]) - double(l0[k])));
    f[k] = float(double(n0) + (dec1 * p1 + g1 * (double(u1[k]) - double(l1[k]))));
    p[k] = n0;
  }
}

// The same for a component fed along free axes only: a plain vacuum update of the sum.
RV_KERNEL void RowWhole(float* RV_RESTRICT f, const float* RV_RESTRICT u0,
                        const float* RV_RESTRICT l0, const float* RV_RESTRICT u1,
                        const float* RV_RESTRICT l1, double g0, double g1, int k0, int k1) {
  for (int k = k0; k <= k1; ++k)
    f[k] = float(double(f[k]) + g0 * (double(u0[k]) - double(l0[k])) +
                 g1 * (double(u1[k]) - double(l1[k])));
}

// A component's full value, addressed by local indices through its strides.
struct View {
  const float* a = nullptr;
  std::array<size_t, 3> st{};
  size_t off(const int (&x)[3]) const {
    return size_t(x[0]) * st[0] + size_t(x[1]) * st[1] + size_t(x[2]) * st[2];
  }
};

View RegionView(const PmlRegion& r, bool h, int comp) { return {r.Total[size_t(h * 3 + comp)].data(), r.St}; }

// The main grid's array seen with local indices (local p is main p + 1).
View MainView(const t3DSpaceArray& m) {
  return {m.data() + m.strideX() + m.strideY() + 1, {m.strideX(), m.strideY(), 1}};
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
  return r.In[size_t(a)] < 0 ? nullptr : &s.Regions[size_t(r.In[size_t(a)])];
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

// One part's share of a row: over k0..k1 it decays by dec and gains g*(u[k] - l[k*ls]);
// elsewhere it keeps its value. A part graded along the row looks its factors up by k
// (sg the sign); its u reads 0 at k1 when the conducting wall is there, its l the inner
// block's value lv at k0 when that is depth 0.
struct Term {
  const float* u = nullptr;
  const float* l = nullptr;
  size_t ls = 1;
  double dec = 1, g = 0;
  int k0 = 0, k1 = -1;
  const float* decT = nullptr;
  const float* gainT = nullptr;
  double sg = 0;
  bool wall = false, inner0 = false;
  double lv = 0;

  bool Held() const { return k1 < k0; }
  void At(int k, double& d, double& gain, double& diff) const {
    if (k < k0 || k > k1) { d = 1; gain = 0; diff = 0; return; }
    d = decT ? double(decT[k]) : dec;
    gain = decT ? sg * double(gainT[k]) : g;
    const double uu = wall && k == k1 ? 0.0 : double(u[k]);
    const double ll = inner0 && k == k0 ? lv : double(l[size_t(k) * ls]);
    diff = uu - ll;
  }
};

// Rows the inner block stores across its own are gathered into a buffer of this size;
// longer ones are read in place cell by cell.
constexpr int kGather = 4096;

// The H part of component c fed along axis a of the row starting at x: the E component
// 3-c-a ahead minus here. Along a graded axis the wall beyond the last layer reads 0;
// along a free one the last index keeps its value.
Term TermH(const PmlState& s, const PmlRegion& r, int c, int a, const int (&x)[3], size_t o) {
  Term t;
  const int w = r.Axes[2], nw = r.Len[size_t(w)], side = r.Side[size_t(a)];
  const float* f = r.Total[size_t(3 - c - a)].data() + o;
  const size_t st = r.St[size_t(a)];
  const double sign = CurlSign(true, c, a);
  const bool last = x[a] == r.Len[size_t(a)] - 1;
  t.l = f;
  if (side == 0) {
    t.g = sign * double(s.HCoef[size_t(a)]);
    if (a == w) { t.u = f + 1; t.k1 = nw - 2; }
    else if (!last) { t.u = f + st; t.k1 = nw - 1; }
    return t;
  }
  const float* dec = s.DecayH[size_t(a)].data();
  const float* gain = s.GainH[size_t(a)].data();
  t.k1 = nw - 1;
  if (a == w) {
    t.u = f + 1;
    t.decT = dec; t.gainT = gain; t.sg = sign * side; t.wall = true;
    return t;
  }
  t.u = last ? s.Zero.data() : f + st;
  t.dec = double(dec[x[a]]);
  t.g = sign * side * double(gain[x[a]]);
  return t;
}

// The E part of component c fed along axis a: the H component 3-c-a here minus behind. At
// depth 0 of a graded axis the H behind is the inner block's; against the main grid that
// layer keeps to the component's extent (along its own axis it lies on cells, one fewer
// than the nodes). Along a free axis index 0 keeps its value.
Term TermE(const PmlState& s, const SolverData& d, const PmlRegion& r, int c, int a,
           const int (&x)[3], size_t o, float* buf) {
  Term t;
  const int w = r.Axes[2], nw = r.Len[size_t(w)], side = r.Side[size_t(a)];
  const float* g = r.Total[size_t(3 + 3 - c - a)].data() + o;
  const size_t st = r.St[size_t(a)];
  const double sign = CurlSign(false, c, a);
  t.u = g;
  if (side == 0) {
    t.g = sign * double(s.ECoef[size_t(a)]);
    if (a == w) { t.l = g - 1; t.k0 = 1; t.k1 = nw - 1; }
    else if (x[a] > 0) { t.l = g - st; t.k1 = nw - 1; }
    return t;
  }
  const float* dec = s.DecayE[size_t(a)].data();
  const float* gain = s.GainE[size_t(a)].data();
  if (a != w && x[a] > 0) {
    t.l = g - st;
    t.k1 = nw - 1;
    t.dec = double(dec[x[a]]);
    t.g = sign * side * double(gain[x[a]]);
    return t;
  }
  t.k1 = nw - 1;
  if (a == w) {
    t.l = g - 1;
    t.decT = dec; t.gainT = gain; t.sg = sign * side;
  }
  // Depth 0.
  const PmlRegion* in = Inner(s, r, a);
  int e[3] = {r.Len[0] - 1, r.Len[1] - 1, r.Len[2] - 1};
  if (!in) e[c] -= 1;
  bool inside = true;
  for (int b = 0; b < 3; ++b) inside &= b == a || b == w || x[b] <= e[b];
  if (a == w) {
    if (!inside) { t.k0 = 1; return t; }
    const View I = in ? RegionView(*in, true, 3 - c - a) : MainView(MainH(d, 3 - c - a));
    int y[3] = {x[0], x[1], x[2]};
    y[a] = InnerL(s, a, side);
    t.inner0 = true;
    t.lv = I.a[I.off(y)];
    return t;
  }
  if (!inside) { t.k1 = -1; return t; }
  const View I = in ? RegionView(*in, true, 3 - c - a) : MainView(MainH(d, 3 - c - a));
  int y[3] = {x[0], x[1], x[2]};
  y[a] = InnerL(s, a, side);
  t.k1 = e[w];
  t.l = I.a + I.off(y);
  t.ls = I.st[size_t(w)];
  if (t.ls != 1 && t.k1 < kGather) {
    // One cache line per value: ask for the lines well ahead.
    for (int k = 0; k <= t.k1; ++k) {
      if (k + 16 <= t.k1) __builtin_prefetch(t.l + size_t(k + 16) * t.ls);
      buf[k] = t.l[size_t(k) * t.ls];
    }
    t.l = buf;
    t.ls = 1;
  }
  t.dec = double(dec[0]);
  t.g = sign * side * double(gain[0]);
  return t;
}

// Updates component c of E (h false) or H on the row starting at x from its two parts'
// terms: the bulk where both follow their plain rule in one vector loop, the ends and any
// row graded along itself cell by cell with the same arithmetic.
void UpdateComp(const float* zero, PmlRegion& r, bool h, int c, const int (&x)[3], Term t0, Term t1) {
  if (t0.Held() && t1.Held()) return;
  // A part that keeps its whole row adds nothing anywhere on it: the bulk is the other's.
  int lo0 = t0.k0, hi0 = t0.k1, lo1 = t1.k0, hi1 = t1.k1;
  for (Term* t : {&t0, &t1})
    if (t->Held()) { t->u = t->l = zero; t->ls = 1; t->dec = 1; t->g = 0; }
  if (t0.Held()) { lo0 = lo1; hi0 = hi1; }
  if (t1.Held()) { lo1 = lo0; hi1 = hi0; }
  const size_t o = r.Offset(x[0], x[1], x[2]);
  float* f = r.Total[size_t(h * 3 + c)].data() + o;
  float* p = r.Split[size_t(h * 3 + c)].empty() ? nullptr : r.Split[size_t(h * 3 + c)].data() + o;
  int b0 = -1, b1 = -2;  // the bulk
  if (!t0.decT && !t1.decT && t0.ls == 1 && t1.ls == 1) {
    b0 = std::max(lo0, lo1);
    b1 = std::min(hi0, hi1);
    if (b0 > b1) b0 = -1;
    else {
      if (p) RowSplit(f, p, t0.u, t0.l, t1.u, t1.l, t0.dec, t0.g, t1.dec, t1.g, b0, b1);
      else RowWhole(f, t0.u, t0.l, t1.u, t1.l, t0.g, t1.g, b0, b1);
    }
  }
  const int lo = std::min(lo0, lo1), hi = std::max(hi0, hi1);
  for (int k = lo; k <= hi; ++k) {
    if (k == b0) {
      k = b1;
      continue;
    }
    double d0, g0, x0, d1, g1, x1;
    t0.At(k, d0, g0, x0);
    t1.At(k, d1, g1, x1);
    if (g0 == 0 && g1 == 0 && d0 == 1 && d1 == 1) continue;  // both parts keep their values
    if (p) {
      const double p0 = p[k], p1 = double(f[k]) - p0;
      const float n0 = float(d0 * p0 + g0 * x0);
      f[k] = float(double(n0) + (d1 * p1 + g1 * x1));
      p[k] = n0;
    } else {
      f[k] = float(double(f[k]) + g0 * x0 + g1 * x1);
    }
  }
}

void RowH(const PmlState& s, PmlRegion& r, int c, const int (&x)[3]) {
  const size_t o = r.Offset(x[0], x[1], x[2]);
  UpdateComp(s.Zero.data(), r, true, c, x, TermH(s, r, c, (c + 1) % 3, x, o), TermH(s, r, c, (c + 2) % 3, x, o));
}

void RowE(const PmlState& s, const SolverData& d, PmlRegion& r, int c, const int (&x)[3]) {
  const size_t o = r.Offset(x[0], x[1], x[2]);
  float buf0[kGather], buf1[kGather];
  UpdateComp(s.Zero.data(), r, false, c, x, TermE(s, d, r, c, (c + 1) % 3, x, o, buf0),
             TermE(s, d, r, c, (c + 2) % 3, x, o, buf1));
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
    const float* src = r.Total[size_t(c)].data() + o;
    for (int k = lo[w]; k <= up[w]; ++k) {
      if (ms != 1 && k + 16 <= up[w]) __builtin_prefetch(dst + size_t(k - lo[w] + 16) * ms, 1);
      dst[size_t(k - lo[w]) * ms] = src[k];
    }
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
  for (int c : {u, v})
    for (t3DSpaceArray* A : {&r.Total[size_t(c)], &r.Split[size_t(c)]}) {
      if (A->empty()) continue;
      float* base = A->data();
      for (int x = 0; x < r.Len[size_t(u)]; ++x)
        for (int y = 0; y < r.Len[size_t(v)]; ++y) {
          int c1[3], c0[3];
          Put(c1, a, at); Put(c1, u, x); Put(c1, v, y);
          Put(c0, a, from); Put(c0, u, x); Put(c0, v, y);
          float& dst = base[r.Offset(c1[0], c1[1], c1[2])];
          const float src = base[r.Offset(c0[0], c0[1], c0[2])];
          switch (cond) {
            case Cond::SymE: dst = src; break;
            case Cond::SymH: dst = -src; break;
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
    for (bool split : {false, true}) {
      const t3DSpaceArray& src = (split ? r.Split : r.Total)[size_t(c)];
      t3DSpaceArray& dst = (split ? in.Split : in.Total)[size_t(c)];
      if (dst.empty()) continue;  // the face's normal component keeps its sum alone
      // The plane walked with the faster of its two axes inside.
      const bool vIn = r.St[size_t(v)] <= r.St[size_t(u)];
      const int o = vIn ? u : v, f = vIn ? v : u;
      const size_t so = r.St[size_t(o)], sf = r.St[size_t(f)];
      const size_t to = in.St[size_t(o)], tf = in.St[size_t(f)];
      const float* sp = src.data();
      float* dp = dst.data() + size_t(B) * in.St[size_t(a)];
      const int nf = r.Len[size_t(f)];
      for (int x = 0; x < r.Len[size_t(o)]; ++x) {
        const float* sr = sp + size_t(x) * so;
        float* dr = dp + size_t(x) * to;
        int f0 = 0, f1 = nf - 1;
        if (c == skipComp) {  // leave the line the later edge writes
          if (w == o && ((skipLo && x == 0) || (skipHi && x == r.Len[size_t(w)] - 1))) continue;
          if (w == f && skipLo) f0 = 1;
          if (w == f && skipHi) f1 = nf - 2;
        }
        for (int y = f0; y <= f1; ++y) dr[size_t(y) * tf] = sr[size_t(y) * sf];
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
  const float* src = r.Total[size_t(w)].data();
  for (int f = 0; f <= r.Len[size_t(w)] - 2; ++f) {
    int x[3] = {0, 0, 0};
    x[w] = f;
    m[w] = f + 1;
    M(m[0], m[1], m[2]) = src[r.Offset(x[0], x[1], x[2])];
  }
}

}  // namespace

void UpdatePMLH(PmlState& s) {
  if (!s.Allocated()) return;
  // Every region's H reads only its own E: one pass over all blocks.
  ParallelFor(0, int(s.Tasks.size()), [&](int n) {
    const PmlState::Task& t = s.Tasks[size_t(n)];
    PmlRegion& r = s.Regions[size_t(t.Region)];
    for (int c = 0; c < 3; ++c) ForRows(r, t, [&](const int (&x)[3]) { RowH(s, r, c, x); });
  }, s.Threaded);
}

void UpdatePMLE(PmlState& s, SolverData& d) {
  if (!s.Allocated()) return;
  // The regions' own updates read only H and are independent of each other; a face hands
  // its interface plane to the main grid as soon as its block is done.
  ParallelFor(0, int(s.Tasks.size()), [&](int n) {
    const PmlState::Task& t = s.Tasks[size_t(n)];
    PmlRegion& r = s.Regions[size_t(t.Region)];
    for (int c = 0; c < 3; ++c) ForRows(r, t, [&](const int (&x)[3]) { RowE(s, d, r, c, x); });
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
