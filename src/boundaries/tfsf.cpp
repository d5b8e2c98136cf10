#include "boundaries/tfsf.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "solver/constants.h"
#include "solver/kernelattrs.h"
#include "solver/workpool.h"

namespace rv {

namespace {

constexpr double Pi = 3.141592653589793238462643383279502884;

// The incident components; E and H positions around a node (half cells).
enum Comp { CEx, CEy, CEz, CHx, CHy, CHz };
constexpr float kHalf[6][3] = {{0.5f, 0, 0}, {0, 0.5f, 0}, {0, 0, 0.5f},
                               {0, 0.5f, 0.5f}, {0.5f, 0, 0.5f}, {0.5f, 0.5f, 0}};

// The polarisation factor of a component.
double Pol(const TFSFState& s, Comp c) {
  return double(c >= CHx ? s.HPol[size_t(c - CHx)] : s.EPol[size_t(c)]);
}

// The component of the wave whose signal value is v: E takes its polarisation, H the
// signal over 120 pi along its own.
double Scale(bool magnetic, double pol, double v) { return magnetic ? v / Eta120Pi * pol : v * pol; }

// The incident wave as the passes of one correction see it.
struct Wave {
  const ISignal* sig;
  double curTime, delay, offset;

  // The retarded path (metres) at phase p: H keeps it as a float, E as a double.
  double Path(float p, bool magnetic) const {
    const double r = curTime - double(p) + delay + offset;
    return magnetic ? double(float(r)) : r;
  }
  // The signal's time (s) at phase p; false before the front (or without a signal), where
  // the value is exactly 0.
  bool Time(float p, bool magnetic, double& t) const {
    const double r = Path(p, magnetic);
    t = r / double(LightSpeed);
    return sig && r >= 0;
  }
};

double Incident(const SolverData& d, const TFSFState& s, const ISignal* sig, Comp c, double i,
                double j, double k, double offset) {
  const float p = WavePhase(d, s, float(i) + kHalf[c][0], float(j) + kHalf[c][1],
                            float(k) + kHalf[c][2]);
  const Wave w{sig, d.CurTime, double(s.TFSFDelay), offset};
  double t = 0;
  const bool magnetic = c >= CHx;
  return Scale(magnetic, Pol(s, c), w.Time(p, magnetic, t) ? sig->GetSignal(t) : 0.0);
}

// One pass: a field component on the low and the high face across one axis. Indices per
// axis 0 x, 1 y, 2 z; both loop ranges include their ends.
struct Pass {
  t3DSpaceArray* F;
  int normal, outer, inner;
  int o0, o1, n0, n1;
  int lowAt, highAt;    // the field's index across the faces
  int lowInc, highInc;  // the node coordinate across the faces of the incident value
  Comp inc;
  bool lowOn, highOn;
  double coef;          // Courant number x the vacuum update factor
  double lowSign;       // the high face takes the opposite sign
  double pol = 0;       // the component of the polarisation (set with the state)

  // No element, or a component the wave has not (its polarisation factor exactly 0: the
  // horizontal vector has no y part, so H along y with E vertical, E along y with E
  // horizontal): nothing to add.
  bool Empty() const { return (!lowOn && !highOn) || o1 < o0 || n1 < n0 || pol == 0; }
};

// The terms of WavePhase along each axis, whole and half node positions: a phase is
// float((x term + y term) + z term), the same sum in the same order, looked up instead of
// multiplied for each value.
struct PhaseTerms {
  std::vector<double> T[3][2];  // [axis][half]: (float(n) + half) * d * k for n = 0..N+1

  PhaseTerms(const SolverData& d, const TFSFState& s) {
    const double size[3] = {d.Dx, d.Dy, d.Dz};
    const int nodes[3] = {d.Nx, d.Ny, d.Nz};
    for (int a = 0; a < 3; ++a)
      for (int h = 0; h < 2; ++h) {
        std::vector<double>& t = T[a][h];
        t.resize(size_t(std::max(nodes[a], 0)) + 2);
        for (size_t n = 0; n < t.size(); ++n)
          t[n] = double(float(n) + (h ? 0.5f : 0.0f)) * size[a] * double(s.WaveDir[size_t(a)]);
      }
  }
  const double* Of(Comp c, int axis) const { return T[axis][kHalf[c][axis] != 0 ? 1 : 0].data(); }
};

// One face row of a pass: the incident values of a stretch of the row first, then the
// additions. Values of a row share the phase in runs when the wave runs (nearly) along an
// axis; the signal is asked once per stretch for the runs' phases, and a run's value is
// added along it. A value depends on its phase alone.
RV_KERNEL void RunRow(const Pass& p, const PhaseTerms& terms, const Wave& w, int a, int side) {
  const bool magnetic = p.inc >= CHx;
  const size_t step = p.inner == 0 ? p.F->strideX() : p.inner == 1 ? p.F->strideY() : 1;
  const double* ti = terms.Of(p.inc, p.inner);
  // The two fixed terms of the sum, by axis; the inner one varies.
  double fixed[3];
  fixed[p.normal] = terms.Of(p.inc, p.normal)[side == 0 ? p.lowInc : p.highInc];
  fixed[p.outer] = terms.Of(p.inc, p.outer)[a];
  const double sign = side == 0 ? p.lowSign : -p.lowSign;
  int at[3];
  at[p.outer] = a;
  at[p.normal] = side == 0 ? p.lowAt : p.highAt;
  at[p.inner] = 0;
  float* row = p.F->data() + size_t(at[0]) * p.F->strideX() + size_t(at[1]) * p.F->strideY() + size_t(at[2]);
  constexpr int kMax = 256;
  float phase[kMax], runPhase[kMax];
  int start[kMax + 1];
  double path[kMax], times[kMax], add[kMax], each[kMax];
  // The stretch's lines are fetched while its values are worked out: a row along z whole,
  // a row across z (every element on a line of its own) its first lines, and each later
  // one some elements ahead.
  constexpr int kAhead = 32;
  for (int b0 = p.n0; b0 <= p.n1; b0 += kMax) {
    const int nb = std::min(kMax, p.n1 - b0 + 1);
    float* f = row + size_t(b0) * step;
    if (step > 1)
      for (int n = 0; n < std::min(kAhead, nb); ++n) __builtin_prefetch(f + size_t(n) * step, 1);
    else
      for (int n = 0; n < nb; n += 16) __builtin_prefetch(f + n, 1);
    if (p.inner == 2) {
      const double xy = fixed[0] + fixed[1];
      for (int n = 0; n < nb; ++n) phase[n] = float(xy + ti[b0 + n]);
    } else {
      // (x + y) + z with x or y varying (a sum of two does not depend on their order).
      const double other = p.inner == 0 ? fixed[1] : fixed[0], z = fixed[2];
      for (int n = 0; n < nb; ++n) phase[n] = float((ti[b0 + n] + other) + z);
    }
    // Runs of one phase: none where no two neighbours share a phase (an oblique wave),
    // else found by strides, as the phase never turns back along a row (a sum with one
    // term growing in equal steps, rounded): a run ends before the first later value that
    // differs.
    int same = 0;
    for (int n = 1; n < nb; ++n) same += phase[n] == phase[n - 1];
    int runs = nb;
    const float* rp = phase;
    if (same > 0) {
      runs = 0;
      for (int n = 0; n < nb;) {
        const float v = phase[n];
        start[runs] = n;
        runPhase[runs++] = v;
        int e = n + 1;  // the run holds n..e-1
        while (e + 7 < nb && phase[e + 7] == v) e += 8;
        while (e < nb && phase[e] == v) ++e;
        n = e;
      }
      start[runs] = nb;
      rp = runPhase;
    }
    // The runs' times; a run before the front (or any, without a signal) asks the signal at
    // 0 and adds exactly 0.
    for (int u = 0; u < runs; ++u) path[u] = w.Path(rp[u], magnetic);
    for (int u = 0; u < runs; ++u) times[u] = path[u] >= 0 ? path[u] / double(LightSpeed) : 0.0;
    if (w.sig)
      w.sig->GetSignals(times, add, runs);
    else
      for (int u = 0; u < runs; ++u) path[u] = -1;
    for (int u = 0; u < runs; ++u) add[u] = sign * (Scale(magnetic, p.pol, path[u] >= 0 ? add[u] : 0.0) * p.coef);
    if (runs == nb && step == 1)
      for (int n = 0; n < nb; ++n) f[n] = float(double(f[n]) + add[n]);
    else if (step == 1)
      for (int u = 0; u < runs; ++u) {
        const double v = add[u];
        for (int n = start[u]; n < start[u + 1]; ++n) f[n] = float(double(f[n]) + v);
      }
    else {
      const double* v = add;
      if (runs < nb) {
        for (int u = 0; u < runs; ++u)
          for (int n = start[u]; n < start[u + 1]; ++n) each[n] = add[u];
        v = each;
      }
      for (int n = 0; n < nb; ++n) {
        if (n + kAhead < nb) __builtin_prefetch(f + size_t(n + kAhead) * step, 1);
        f[size_t(n) * step] = float(double(f[size_t(n) * step]) + v[n]);
      }
    }
  }
}

bool Shape(const t3DSpaceArray& a, int n1, int n2, int n3) {
  return a.len1() == n1 && a.len2() == n2 && a.len3() == n3;
}

// Box bound checks of one face: [axis, is max side] by Face index.
struct FaceBound {
  int axis;
  bool maxSide;
};
constexpr FaceBound kFaceBound[7] = {{0, false}, {1, false}, {1, true}, {2, true},
                                     {2, false}, {0, true},  {0, false}};

int Bound(const FarBox& b, int axis, bool maxSide) {
  const int32_t v[3][2] = {{b.xmin, b.xmax}, {b.ymin, b.ymax}, {b.zmin, b.zmax}};
  return v[axis][maxSide ? 1 : 0];
}

int Nodes(const SolverData& d, int axis) { return axis == 0 ? d.Nx : axis == 1 ? d.Ny : d.Nz; }

// cos and sin of an angle entered in degrees. A whole multiple of 90 degrees gets its exact
// 0 and ±1: the float radian of 90 leaves cos at -4.4e-8, which tilts a wave meant to run
// along an axis and gives it components of that size the source then has to carry. Other
// angles take the stored radian as they always did.
std::pair<double, double> CosSinOfDegrees(float deg, float rad) {
  if (std::isfinite(deg) && std::fmod(double(deg), 90.0) == 0) {
    const int q = int(std::fmod(std::fmod(double(deg) / 90.0, 4.0) + 4.0, 4.0));
    constexpr double c[4] = {1, 0, -1, 0}, s[4] = {0, 1, 0, -1};
    return {c[q], s[q]};
  }
  return {std::cos(double(rad)), std::sin(double(rad))};
}

}  // namespace

void SetupTFSF(TFSFState& s, float thetaDeg, float phiDeg, bool eVertical, const FarBox& box,
               bool farFieldOn) {
  s.TFSFInset = farFieldOn ? 2 : 0;
  s.WaveTheta = float(Pi * double(thetaDeg) / 180);
  s.WavePhi = float(Pi * double(phiDeg) / 180);
  s.EVertical = eVertical;
  const auto [ct, st] = CosSinOfDegrees(thetaDeg, s.WaveTheta);
  const auto [cp, sp] = CosSinOfDegrees(phiDeg, s.WavePhi);
  const std::array<float, 3> horizontal{float(-cp), 0.0f, float(sp)};
  if (eVertical) {
    s.EPol = {float(-ct * sp), float(st), float(-ct * cp)};
    s.HPol = horizontal;
  } else {
    s.EPol = horizontal;
    s.HPol = {float(ct * sp), float(-st), float(ct * cp)};
  }
  const double sinT = std::sqrt(1 - ct * ct);
  s.WaveDir = {float(sinT * sp), float(ct), float(sinT * cp)};
  s.Box = box;
  const int n = s.TFSFInset;
  s.TFSFBox = {box.xmin + n, box.xmax - n, box.ymin + n, box.ymax - n, box.zmin + n, box.zmax - n};
  s.TFSFECoef = float(1.0L / (long double)Eps0 / (long double)LightSpeed);
  s.TFSFDelay = 0;
}

bool CheckTFSFBorders(TFSFState& s, const SolverData& d, std::string& message) {
  for (int f = 1; f <= 6; ++f)
    s.FaceOpen[size_t(f)] = !(d.PECFace[size_t(f)] || d.SymEFace[size_t(f)] || d.SymHFace[size_t(f)]);
  const FarBox& b = s.Box;
  // A closed side needs the box on its wall, an open one needs it off.
  for (int f = 1; f <= 6; ++f) {
    const FaceBound fb = kFaceBound[f];
    const int v = Bound(b, fb.axis, fb.maxSide);
    const bool onWall = fb.maxSide ? v == Nodes(d, fb.axis) : v == 1;
    if (onWall == s.FaceOpen[size_t(f)]) {
      message = "Ошибка: границы TF-SF должны быть вплотную к границам PEC и симметрии!!!\n"
                "(а к границам ABC нет!!!)";
      return false;
    }
  }
  // The corrected box lies inside the entered one when the far field is on: it must still
  // hold a cell on every axis.
  const FarBox& t = s.TFSFBox;
  if (!(b.xmin < b.xmax && b.ymin < b.ymax && b.zmin < b.zmax) ||
      !(t.xmin < t.xmax && t.ymin < t.ymax && t.zmin < t.zmax)) {
    message = "Ошибка: минимальные границы TF-SF должны быть меньше максимальных!!!";
    return false;
  }
  if (!(b.xmin > 0 && b.ymin > 0 && b.zmin > 0 && b.xmax <= d.Nx && b.ymax <= d.Ny &&
        b.zmax <= d.Nz)) {
    message = "Ошибка: границы TF-SF должны в пределах вычислительного объема!!!";
    return false;
  }
  struct Clearance {
    const FaceFlags* faces;
    int cells;
    const char* tail;
  };
  const Clearance kinds[4] = {{&d.PMLFace, 2, " яч. от границ PML!!!"},
                              {&d.MurFace, 3, " яч. от границ Мура!!!"},
                              {&d.DissipationFace, 3, " яч. от границ 1/R!!!"},
                              {&d.RTABCFace, 4, " яч. от границ RT-ABC!!!"}};
  for (const Clearance& c : kinds) {
    for (int f = 1; f <= 6; ++f) {
      if (!(*c.faces)[size_t(f)]) continue;
      const FaceBound fb = kFaceBound[f];
      const int v = Bound(b, fb.axis, fb.maxSide);
      if (fb.maxSide ? Nodes(d, fb.axis) - c.cells < v : v <= c.cells) {
        message = "Ошибка: границы TF-SF должны быть не ближе " + std::to_string(c.cells) + c.tail;
        return false;
      }
    }
  }
  return true;
}

float WavePhase(const SolverData& d, const TFSFState& s, float x, float y, float z) {
  return float(double(x) * d.Dx * double(s.WaveDir[0]) + double(y) * d.Dy * double(s.WaveDir[1]) +
               double(z) * d.Dz * double(s.WaveDir[2]));
}

float CalcTFSFDelay(const SolverData& d, const TFSFState& s) {
  const FarBox& b = s.TFSFBox;
  float m = 0;
  bool first = true;
  for (int x : {b.xmin, b.xmax})
    for (int y : {b.ymin, b.ymax})
      for (int z : {b.zmin, b.zmax}) {
        const float p = WavePhase(d, s, float(x), float(y), float(z));
        if (first || p < m) m = p;
        first = false;
      }
  return m;
}

double IncidentEx(const SolverData& d, const TFSFState& s, double i, double j, double k, double offset) {
  return Incident(d, s, s.Signal, CEx, i, j, k, offset);
}
double IncidentEy(const SolverData& d, const TFSFState& s, double i, double j, double k, double offset) {
  return Incident(d, s, s.Signal, CEy, i, j, k, offset);
}
double IncidentEz(const SolverData& d, const TFSFState& s, double i, double j, double k, double offset) {
  return Incident(d, s, s.Signal, CEz, i, j, k, offset);
}
double IncidentHx(const SolverData& d, const TFSFState& s, double i, double j, double k, double offset) {
  return Incident(d, s, s.Signal, CHx, i, j, k, offset);
}
double IncidentHy(const SolverData& d, const TFSFState& s, double i, double j, double k, double offset) {
  return Incident(d, s, s.Signal, CHy, i, j, k, offset);
}
double IncidentHz(const SolverData& d, const TFSFState& s, double i, double j, double k, double offset) {
  return Incident(d, s, s.Signal, CHz, i, j, k, offset);
}

bool TFSFArraysMatch(const SolverData& d, const TFSFState& s) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  if (!Shape(d.Hx, nx + 1, ny, nz) || !Shape(d.Hy, nx, ny + 1, nz) || !Shape(d.Hz, nx, ny, nz + 1) ||
      !Shape(d.Ex, nx, ny + 1, nz + 1) || !Shape(d.Ey, nx + 1, ny, nz + 1) ||
      !Shape(d.Ez, nx + 1, ny + 1, nz))
    return false;
  // Every pass stays inside the arrays when the box holds a cell on each axis within the
  // nodes, and a corrected face keeps a plane between itself and its wall.
  const FarBox& t = s.TFSFBox;
  for (int f = 1; f <= 6; ++f) {
    const FaceBound fb = kFaceBound[f];
    const int lo = Bound(t, fb.axis, false), hi = Bound(t, fb.axis, true), n = Nodes(d, fb.axis);
    if (!(lo >= 1 && lo < hi && hi <= n)) return false;
    if (s.FaceOpen[size_t(f)] && (fb.maxSide ? hi > n - 1 : lo < 2)) return false;
  }
  return true;
}

namespace {

// The six passes of the H correction (after the H update) or of the E correction. The
// passes of one stage write disjoint elements, so a stage is one hand-out to the threads;
// the E passes that meet on the box's edge lines are in different stages, so those lines
// take their two additions in the passes' order.
bool Correct(SolverData& d, const TFSFState& s, double offset, bool onE) {
  if (!TFSFArraysMatch(d, s)) return false;
  const SignalPass sig(s.Signal);
  const FarBox& b = s.TFSFBox;
  const int x0 = b.xmin, x1 = b.xmax, y0 = b.ymin, y1 = b.ymax, z0 = b.zmin, z1 = b.zmax;
  // Always the vacuum factors, also with magnetic materials on.
  const double q = onE ? double(s.TFSFECoef) : double(d.HCoefUniform);
  const double cx = d.CourantX * q, cy = d.CourantY * q, cz = d.CourantZ * q;
  const bool X1 = s.FaceOpen[FaceX1], XM = s.FaceOpen[FaceXMax], Y1 = s.FaceOpen[FaceY1],
             YM = s.FaceOpen[FaceYMax], Z1 = s.FaceOpen[FaceZ1], ZM = s.FaceOpen[FaceZMax];
  // H just outside the faces from the incident E on them.
  Pass h[6] = {
      {&d.Hz, 0, 1, 2, y0, y1 - 1, z0, z1, x0 - 1, x1, x0, x1, CEy, X1, XM, cx, +1},
      {&d.Hy, 0, 1, 2, y0, y1, z0, z1 - 1, x0 - 1, x1, x0, x1, CEz, X1, XM, cx, -1},
      {&d.Hz, 1, 0, 2, x0, x1 - 1, z0, z1, y0 - 1, y1, y0, y1, CEx, Y1, YM, cy, -1},
      {&d.Hx, 1, 0, 2, x0, x1, z0, z1 - 1, y0 - 1, y1, y0, y1, CEz, Y1, YM, cy, +1},
      {&d.Hx, 2, 0, 1, x0, x1, y0, y1 - 1, z0 - 1, z1, z0, z1, CEy, Z1, ZM, cz, -1},
      {&d.Hy, 2, 0, 1, x0, x1 - 1, y0, y1, z0 - 1, z1, z0, z1, CEx, Z1, ZM, cz, +1},
  };
  // E on the faces from the incident H just outside them.
  Pass e[6] = {
      {&d.Ey, 0, 1, 2, y0, y1 - 1, z0, z1, x0, x1, x0 - 1, x1, CHz, X1, XM, cx, +1},
      {&d.Ez, 0, 1, 2, y0, y1, z0, z1 - 1, x0, x1, x0 - 1, x1, CHy, X1, XM, cx, -1},
      {&d.Ey, 2, 0, 1, x0, x1, y0, y1 - 1, z0, z1, z0 - 1, z1, CHx, Z1, ZM, cz, -1},
      {&d.Ex, 2, 0, 1, x0, x1 - 1, y0, y1, z0, z1, z0 - 1, z1, CHy, Z1, ZM, cz, +1},
      {&d.Ex, 1, 0, 2, x0, x1 - 1, z0, z1, y0, y1, y0 - 1, y1, CHz, Y1, YM, cy, -1},
      {&d.Ez, 1, 0, 2, x0, x1, z0, z1 - 1, y0, y1, y0 - 1, y1, CHx, Y1, YM, cy, +1},
  };
  Pass* passes = onE ? e : h;
  for (int n = 0; n < 6; ++n) {
    Pass& p = passes[n];
    p.pol = Pol(s, p.inc);
  }
  const PhaseTerms terms(d, s);
  const Wave w{sig.get(), d.CurTime, double(s.TFSFDelay), offset};
  // E: the X faces' Ey and Ez and the Z faces' Ex, then the Z faces' Ey and the Y faces'
  // Ex and Ez (each edge line: X before Z for Ey, Z before Y for Ex, X before Y for Ez).
  const std::vector<std::vector<int>> stages =
      onE ? std::vector<std::vector<int>>{{0, 1, 3}, {2, 4, 5}} : std::vector<std::vector<int>>{{0, 1, 2, 3, 4, 5}};
  for (const std::vector<int>& stage : stages) {
    std::vector<LoopPart> parts;
    int64_t values = 0;
    for (int n : stage) {
      const Pass& p = passes[n];
      if (p.Empty()) continue;
      values += int64_t(p.o1 - p.o0 + 1) * (p.n1 - p.n0 + 1);
      parts.push_back({p.o0, p.o1 + 1, [&p, &terms, &w](int a) {
                         if (p.lowOn) RunRow(p, terms, w, a, 0);
                         if (p.highOn) RunRow(p, terms, w, a, 1);
                       }});
    }
    // A value costs a few nanoseconds: threads pay from some thousands of values on.
    ParallelForParts(parts, values >= 4096);
  }
  return true;
}

}  // namespace

bool CorrectTFSFH(SolverData& d, const TFSFState& s, double offset) { return Correct(d, s, offset, false); }
bool CorrectTFSFE(SolverData& d, const TFSFState& s, double offset) { return Correct(d, s, offset, true); }

}  // namespace rv
