#include "solver/dissipation.h"

#include <cmath>

#include "solver/faces.h"
#include "solver/workpool.h"
#include "solver/lumped.h"

namespace rv {

namespace {

// The incident wave's H is its E over this impedance, as the wave was laid out.
constexpr double kIncidentImpedance = 377.0;

using Row = DissipationRun::Row;
using Weights = DissipationRun::Weights;

bool Shape(const t3DSpaceArray& a, int n1, int n2, int n3) {
  return !a.empty() && a.len1() == n1 && a.len2() == n2 && a.len3() == n3;
}

bool FieldsMatch(const SolverData& d) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  return Shape(d.Ex, nx, ny + 1, nz + 1) && Shape(d.Ey, nx + 1, ny, nz + 1) &&
         Shape(d.Ez, nx + 1, ny + 1, nz) && Shape(d.Hx, nx + 1, ny, nz) &&
         Shape(d.Hy, nx, ny + 1, nz) && Shape(d.Hz, nx, ny, nz + 1);
}

// Second length of slot f's plane (the Mur planes' shapes).
int PlaneLen2(int f, int nx, int ny, int nz) {
  (void)nx;
  switch (f / 2) {
    case 0: case 2: return nz;
    case 1: case 3: return nz + 1;
    case 4: return ny;
    default: return ny + 1;
  }
}
int PlaneLen1(int f, int nx, int ny) {
  switch (f / 2) {
    case 0: return ny + 1;
    case 1: return ny;
    case 2: case 4: return nx + 1;
    default: return nx;
  }
}

// Every row of boundary edges of the 1/R faces: the face passes, then the rim lines (those
// parallel to z and y belong to the X faces, those parallel to x to the Y faces), a rim
// edge reading the inner edge one step in along both normals.
std::vector<Row> FaceRows(const SolverData& d) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const auto& F = d.DissipationFace;
  std::vector<Row> rows;
  auto add = [&](int comp, int slot, std::array<int, 3> b, std::array<int, 3> n, int dir,
                 int count) {
    Row r;
    r.comp = comp;
    r.slot = slot;
    for (int a = 0; a < 3; ++a) r.b[a] = b[size_t(a)], r.n[a] = n[size_t(a)];
    r.dir = dir;
    r.count = count;
    // Plane indices: X faces (j, k), Y faces (i, k), Z faces (i, j).
    const int l2 = PlaneLen2(slot, nx, ny, nz);
    const int p = slot / 4;  // 0 X, 1 Y, 2 Z
    const int u = p == 0 ? b[1] : b[0], v = p == 2 ? b[1] : b[2];
    r.w0 = size_t(u) * size_t(l2) + size_t(v);
    r.wstep = dir == 2 || (p == 2 && dir == 1) ? 1 : l2;
    if (count > 0) rows.push_back(r);
  };
  for (int f = 0; f < 2; ++f) {  // X faces
    if (!F[f == 0 ? FaceX1 : FaceXMax]) continue;
    const int b = f == 0 ? 1 : nx, n = f == 0 ? 2 : nx - 1;
    for (int j = 2; j <= ny - 1; ++j) add(3, f, {b, j, 1}, {n, j, 1}, 2, nz - 1);
    for (int j = 1; j <= ny - 1; ++j) add(2, 2 + f, {b, j, 2}, {n, j, 2}, 2, nz - 2);
    add(3, f, {b, 1, 1}, {n, 2, 1}, 2, nz - 1);
    add(3, f, {b, ny, 1}, {n, ny - 1, 1}, 2, nz - 1);
    add(2, 2 + f, {b, 1, nz}, {n, 1, nz - 1}, 1, ny - 1);
    add(2, 2 + f, {b, 1, 1}, {n, 1, 2}, 1, ny - 1);
  }
  // Z faces, Z=max first. The two faces' edges of one row along z are a float or two apart
  // in memory: both rows go to one thread together (an even place in the list, which the
  // threads take two rows at a time), or they would fight over every cache line.
  for (int comp : {2, 1}) {
    for (int i = comp == 2 ? 2 : 1; i <= nx - 1; ++i) {
      if (rows.size() % 2) rows.push_back(Row{});  // an empty row, to align the pair
      for (int f = 0; f < 2; ++f) {
        if (!F[f == 0 ? FaceZMax : FaceZ1]) continue;
        const int b = f == 0 ? nz : 1, n = f == 0 ? nz - 1 : 2;
        const int slot = comp == 2 ? (f == 0 ? 9 : 8) : (f == 0 ? 11 : 10);
        const int j0 = comp == 2 ? 1 : 2;
        add(comp, slot, {i, j0, b}, {i, j0, n}, 1, ny - j0);
      }
    }
  }
  for (int f = 0; f < 2; ++f) {  // Y faces
    if (!F[f == 0 ? FaceY1 : FaceYMax]) continue;
    const int b = f == 0 ? 1 : ny, n = f == 0 ? 2 : ny - 1;
    for (int i = 1; i <= nx - 1; ++i) add(1, 6 + f, {i, b, 2}, {i, n, 2}, 2, nz - 2);
    for (int i = 2; i <= nx - 1; ++i) add(3, 4 + f, {i, b, 1}, {i, n, 1}, 2, nz - 1);
    add(1, 6 + f, {1, b, nz}, {1, n, nz - 1}, 0, nx - 1);
    add(1, 6 + f, {1, b, 1}, {1, n, 2}, 0, nx - 1);
  }
  return rows;
}

inline size_t Offset(const t3DSpaceArray& a, int i, int j, int k) {
  return size_t(i) * a.strideX() + size_t(j) * a.strideY() + size_t(k);
}
inline size_t Step(const t3DSpaceArray& a, int dir) {
  return dir == 0 ? a.strideX() : dir == 1 ? a.strideY() : 1;
}

// One row's field pointers and strides: the boundary and inner edges (one array), and the
// four H of the inner edge's curl (H1 - H2)*C1 - (H3 - H4)*C2.
struct RowFields {
  float* eb;
  const float *en, *h1, *h2, *h3, *h4;
  size_t se, s1, s2, s3, s4;
  double c1, c2;
};

RowFields FieldsOf(SolverData& d, const Row& r) {
  t3DSpaceArray& E = r.comp == 1 ? d.Ex : r.comp == 2 ? d.Ey : d.Ez;
  const int p = r.n[0], q = r.n[1], s = r.n[2];
  RowFields f{};
  f.eb = E.data() + Offset(E, r.b[0], r.b[1], r.b[2]);
  f.en = E.data() + Offset(E, p, q, s);
  f.se = Step(E, r.dir);
  const t3DSpaceArray *A1, *A2, *A3, *A4;
  size_t o1, o2, o3, o4;
  switch (r.comp) {
    case 1:  // Hz[p][q] - Hz[p][q-1], Hy[p][q][r] - Hy[p][q][r-1]
      A1 = A2 = &d.Hz; A3 = A4 = &d.Hy;
      o1 = Offset(d.Hz, p, q, s); o2 = Offset(d.Hz, p, q - 1, s);
      o3 = Offset(d.Hy, p, q, s); o4 = o3 - 1;
      f.c1 = d.CourantY; f.c2 = d.CourantZ;
      break;
    case 2:  // Hx[p][q][r] - Hx[p][q][r-1], Hz[p] - Hz[p-1]
      A1 = A2 = &d.Hx; A3 = A4 = &d.Hz;
      o1 = Offset(d.Hx, p, q, s); o2 = o1 - 1;
      o3 = Offset(d.Hz, p, q, s); o4 = Offset(d.Hz, p - 1, q, s);
      f.c1 = d.CourantZ; f.c2 = d.CourantX;
      break;
    default:  // Hy[p] - Hy[p-1], Hx[p][q] - Hx[p][q-1]
      A1 = A2 = &d.Hy; A3 = A4 = &d.Hx;
      o1 = Offset(d.Hy, p, q, s); o2 = Offset(d.Hy, p - 1, q, s);
      o3 = Offset(d.Hx, p, q, s); o4 = Offset(d.Hx, p, q - 1, s);
      f.c1 = d.CourantX; f.c2 = d.CourantY;
      break;
  }
  f.h1 = A1->data() + o1; f.h2 = A2->data() + o2;
  f.h3 = A3->data() + o3; f.h4 = A4->data() + o4;
  f.s1 = Step(*A1, r.dir); f.s2 = Step(*A2, r.dir);
  f.s3 = Step(*A3, r.dir); f.s4 = Step(*A4, r.dir);
  return f;
}

// A row without an incident wave. Along z every stride is 1 (the weights' too), so the row
// is one plain loop. Across rows along z each edge is a cache line of its own: fetch the
// boundary edges a little ahead, and read the curl only where the weight asks for it (the
// in-step branch, which on a face far from the centre holds only the edges near its rim).
template <bool AlongZ>
void PlainRow(const RowFields& f, const Weights* w, size_t wstep, int count) {
  for (int t = 0; t < count; ++t) {
    const size_t k = size_t(t);
    const size_t e = AlongZ ? k : k * f.se;
    const Weights& wt = w[AlongZ ? k : k * wstep];
    double curl = 0;
    if (AlongZ) {
      curl = (double(f.h1[k]) - double(f.h2[k])) * f.c1 - (double(f.h3[k]) - double(f.h4[k])) * f.c2;
    } else {
      __builtin_prefetch(f.eb + e + 8 * f.se, 1);
      if (wt.c != 0)
        curl = (double(f.h1[k * f.s1]) - double(f.h2[k * f.s2])) * f.c1 -
               (double(f.h3[k * f.s3]) - double(f.h4[k * f.s4])) * f.c2;
    }
    f.eb[e] = float(double(wt.a) * double(f.eb[e]) + double(wt.b) * double(f.en[e]) +
                    double(wt.c) * curl);
  }
}

}  // namespace

bool DissipationRun::Prepare(const SolverData& d, const EdgeCoefCache& cache,
                             const tScatterCentre& centre) {
  rows_.clear();
  for (auto& w : w_) w.clear();
  nx_ = ny_ = nz_ = 0;
  if (d.Nx < 3 || d.Ny < 3 || d.Nz < 3 || !cache.Matches(d)) return false;
  rows_ = FaceRows(d);
  for (const Row& r : rows_) {
    if (r.count <= 0) continue;
    auto& w = w_[size_t(r.slot)];
    if (w.empty()) w.resize(size_t(PlaneLen1(r.slot, d.Nx, d.Ny)) * PlaneLen2(r.slot, d.Nx, d.Ny, d.Nz));
    const char axis = char('X' + r.comp - 1);
    const double h[3] = {r.comp == 1 ? 0.5 : 0, r.comp == 2 ? 0.5 : 0, r.comp == 3 ? 0.5 : 0};
    const double c[3] = {double(centre.I), double(centre.J), double(centre.K)};
    const double step[3] = {d.Dx, d.Dy, d.Dz};
    for (int t = 0; t < r.count; ++t) {
      // Distances of the edges' mid-points from the centre.
      double rb2 = 0, ri2 = 0;
      int n[3];
      for (int a = 0; a < 3; ++a) {
        const int move = a == r.dir ? t : 0;
        n[a] = r.n[a] + move;
        const double db = (r.b[a] + move + h[a] - c[a]) * step[a];
        const double di = (n[a] + h[a] - c[a]) * step[a];
        rb2 += db * db;
        ri2 += di * di;
      }
      const double RB = std::sqrt(rb2), RI = std::sqrt(ri2), dt = d.TimeStep;
      const double D = RB - RI;
      Weights& out = w[r.w0 + size_t(t) * size_t(r.wstep)];
      if (dt - D >= 0) {
        // The wave crosses D within the step: the inner edge at t + dt - D, between its
        // value now and after this step's E update (the increment the update will add).
        const EdgeCoefs e = cache.Coefs(axis, n[0], n[1], n[2]);
        const double scale = RI / RB, frac = (dt - D) / dt * scale;
        out.a = 0;
        out.b = float(scale + (double(e.Ca) - 1) * frac);
        out.c = float(double(e.Cb) * frac);
      } else {
        // R*E at RB - dt, interpolated between the two edges, over RB.
        out.a = float(1 - dt / D);
        out.b = float(RI / RB * dt / D);
        out.c = 0;
      }
    }
  }
  nx_ = d.Nx; ny_ = d.Ny; nz_ = d.Nz;
  dx_ = d.Dx; dy_ = d.Dy; dz_ = d.Dz; dt_ = d.TimeStep;
  centre_ = centre;
  faces_ = d.DissipationFace;
  return true;
}

bool DissipationRun::PreparedFor(const SolverData& d, const tScatterCentre& c) const {
  return nx_ != 0 && nx_ == d.Nx && ny_ == d.Ny && nz_ == d.Nz && dx_ == d.Dx && dy_ == d.Dy &&
         dz_ == d.Dz && dt_ == d.TimeStep && centre_.I == c.I && centre_.J == c.J &&
         centre_.K == c.K && faces_ == d.DissipationFace;
}

bool DissipationRun::Apply(SolverData& d, const ISignal* source) const {
  if (nx_ == 0 || nx_ != d.Nx || ny_ != d.Ny || nz_ != d.Nz || !FieldsMatch(d)) return false;
  const bool inc = d.NoExternalField == 0 && source != nullptr;
  // One snapshot of the signal for the whole pass: an edit during the run waits for the next.
  const SignalPass pass(inc ? source : nullptr);
  const ISignal* signal = pass.get();
  const double T0 = d.CurTime, dt = d.TimeStep, half = d.HalfDx, dx = d.Dx;
  // Every row writes only boundary edges and reads only edges no row writes, so the rows
  // run on all cores with the same bits in any order. Rows differ a lot in cost (a row
  // across z misses the cache at every edge): the threads take pairs of rows in turn, so
  // each gets its share of the dear ones, and a Z pair stays on one thread.
  const bool par = ParallelFaces(d.Nx, d.Ny, d.Nz);
  const int count = int(rows_.size());
  auto row = [&](int ri) {
    const Row& r = rows_[size_t(ri)];
    const RowFields f = FieldsOf(d, r);
    const Weights* w = w_[size_t(r.slot)].data() + r.w0;
    if (!inc || r.comp == 3) {
      if (r.dir == 2 && r.wstep == 1) PlainRow<true>(f, w, 1, r.count);
      else PlainRow<false>(f, w, size_t(r.wstep), r.count);
      return;
    }
    // The external plane wave along +x (E along y, H along z) comes out of the values before
    // the update and goes back into the result; E stands at CurTime, H half a step later.
    auto sv = [&](double t) { return SourceValue(signal, false, t); };
    const double T = T0 + dt / 2;
    for (int t = 0; t < r.count; ++t) {
      const size_t k = size_t(t);
      const int ni = r.n[0] + (r.dir == 0 ? t : 0), bi = r.b[0] + (r.dir == 0 ? t : 0);
      const double xi = r.comp == 1 ? (ni - 0.5) * dx : (ni - 1) * dx;
      const double xb = r.comp == 1 ? (bi - 0.5) * dx : (bi - 1) * dx;
      double a = f.eb[k * f.se], b = f.en[k * f.se];
      double h1 = f.h1[k * f.s1], h2 = f.h2[k * f.s2], h3 = f.h3[k * f.s3], h4 = f.h4[k * f.s4];
      double put = 0;
      if (r.comp == 1) {
        const double h = sv(T - xi) / kIncidentImpedance;
        h1 -= h;
        h2 -= h;
      } else {
        a -= sv(T0 - xb);
        b -= sv(T0 - xi);
        // Each H loses the incident value at its own position: Hz[p] lies half a cell
        // beyond the inner edge, Hz[p-1] half a cell before it.
        h3 -= sv(T - (xi + half)) / kIncidentImpedance;
        h4 -= sv(T - (xi - half)) / kIncidentImpedance;
        put = sv(T0 + dt - xb);
      }
      const Weights& wt = w[k * size_t(r.wstep)];
      const double curl = (h1 - h2) * f.c1 - (h3 - h4) * f.c2;
      f.eb[k * f.se] = float(put + double(wt.a) * a + double(wt.b) * b + double(wt.c) * curl);
    }
  };
  ParallelFor(0, (count + 1) / 2, [&](int p) {
    row(2 * p);
    if (2 * p + 1 < count) row(2 * p + 1);
  }, par);
  return true;
}

bool ApplyDissipation(SolverData& d, const EdgeCoefCache& cache, const ISignal* signal,
                      const tScatterCentre& centre) {
  DissipationRun run;
  return run.Prepare(d, cache, centre) && run.Apply(d, signal);
}

}  // namespace rv
