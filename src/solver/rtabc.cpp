#include "solver/rtabc.h"

#include "solver/faces.h"
#include "solver/workpool.h"

#include <cstring>
#include <functional>
#include <vector>

namespace rv {

namespace {

// The share of E^s_1 - E^(s-2)_2 taken off each extrapolated value. That difference is 0 for
// every wave leaving along the normal, but a field uniform along the normal and growing
// linearly in time is carried by the bare extrapolation as it is, and the grid feeds such a
// drift back until it grows without bound over long runs. This share damps it within some
// ten steps while a wave leaving the grid barely notices.
constexpr double kRampDamping = 0.1;

// A slot's face, component (1 = Ex, 2 = Ey, 3 = Ez) and normal axis (0 = x, 1 = y, 2 = z).
struct Slot {
  int face, comp, axis;
  bool high;  // the max face of its axis
};
constexpr Slot kSlots[RTABCSlotCount] = {
    {FaceX1, 3, 0, false}, {FaceXMax, 3, 0, true}, {FaceX1, 2, 0, false}, {FaceXMax, 2, 0, true},
    {FaceY1, 3, 1, false}, {FaceYMax, 3, 1, true}, {FaceY1, 1, 1, false}, {FaceYMax, 1, 1, true},
    {FaceZ1, 2, 2, false}, {FaceZMax, 2, 2, true}, {FaceZ1, 1, 2, false}, {FaceZMax, 1, 2, true}};

bool Shape3(const t3DSpaceArray& a, int n1, int n2, int n3) {
  return !a.empty() && a.len1() == n1 && a.len2() == n2 && a.len3() == n3;
}

// The shape of a slot's planes (the Mur planes' shapes).
std::pair<int, int> SlotShape(int f, int nx, int ny, int nz) {
  switch (f / 2) {
    case 0: return {ny + 1, nz};
    case 1: return {ny, nz + 1};
    case 2: return {nx + 1, nz};
    case 3: return {nx, nz + 1};
    case 4: return {nx + 1, ny};
    default: return {nx, ny + 1};
  }
}

bool ArraysMatch(const SolverData& d) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  if (nx < 3 || ny < 3 || nz < 3) return false;
  if (!Shape3(d.Ex, nx, ny + 1, nz + 1) || !Shape3(d.Ey, nx + 1, ny, nz + 1) ||
      !Shape3(d.Ez, nx + 1, ny + 1, nz))
    return false;
  if (int(d.RTABCPlanes.size()) < RTABCPlaneCount) return false;
  for (int f = 0; f < RTABCSlotCount; ++f) {
    // Plain variables: clang 14 cannot capture structured bindings in a lambda.
    const std::pair<int, int> shape = SlotShape(f, nx, ny, nz);
    const int a = shape.first, b = shape.second;
    auto ok = [&](int p) {
      const t2DSpaceArray& q = d.RTABCPlanes[size_t(p)];
      return !q.empty() && q.len1() == a && q.len2() == b;
    };
    for (int m = 0; m < 3; ++m)
      if (!ok(RTABCLastPlane(f, m)) || !ok(RTABCPrevPlane(f, m))) return false;
    if (!ok(RTABCNextPlane(f))) return false;
  }
  return true;
}

class Levels {
public:
  Levels(SolverData& d, const tIncidentWave& w)
      : d_(d), pass_(d, w), w_(pass_.get()), on_(d.NoExternalField == 0 && w_.Signal != nullptr) {}
  Levels(const Levels&) = delete;  // w_ refers into pass_

  t3DSpaceArray& E(int f) const {
    const int c = kSlots[f].comp;
    return c == 1 ? d_.Ex : c == 2 ? d_.Ey : d_.Ez;
  }
  // Index along the normal of depth m (1 = the face plane).
  int DepthIndex(int f, int m) const {
    const Slot& s = kSlots[f];
    const int n = s.axis == 0 ? d_.Nx : s.axis == 1 ? d_.Ny : d_.Nz;
    return s.high ? n + 1 - m : m;
  }
  // The incident wave's part of slot f's component at depth index p, plane indices (a, b).
  double W(int f, int p, int a, int b) const {
    const Slot& s = kSlots[f];
    if (!on_ || s.comp == 3) return 0;
    const int I = s.axis == 0 ? p : a, J = s.axis == 0 ? a : s.axis == 1 ? p : b;
    return s.comp == 2 ? IncidentWaveCos(d_, w_, I, J, false, 0)
                       : IncidentWaveSin(d_, w_, I, J, false, 0);
  }
  t2DSpaceArray& Plane(int p) const { return d_.RTABCPlanes[size_t(p)]; }

  // The row a of slot f at depth index p: its element at plane index b is row[b * stride].
  float* RowAt(int f, int p, int a, size_t& stride) const {
    t3DSpaceArray& e = E(f);
    switch (kSlots[f].axis) {
      case 0: stride = 1; return &e(p, a, 0);
      case 1: stride = 1; return &e(a, p, 0);
      default: stride = e.strideY(); return &e(a, 0, p);
    }
  }

  // Steps 1 and 2 for the edges (a, b) of slot f, a = a0..a1, b = b0..b1.
  void Extrapolate(int f, int a0, int a1, int b0, int b1) const {
    const bool write = d_.RTABCFace[kSlots[f].face] != 0;
    const int p1 = DepthIndex(f, 1), p2 = DepthIndex(f, 2);
    const t2DSpaceArray &L0 = Plane(RTABCLastPlane(f, 0)), &L1 = Plane(RTABCLastPlane(f, 1)),
                        &L2 = Plane(RTABCLastPlane(f, 2)), &P1 = Plane(RTABCPrevPlane(f, 1));
    t2DSpaceArray& N = Plane(RTABCNextPlane(f));
    const bool zFace = kSlots[f].axis == 2;  // elsewhere the incident wave is constant along b
    for (int a = a0; a <= a1; ++a) {
      size_t st;
      float* eb = RowAt(f, p1, a, st);
      const float* en = RowAt(f, p2, a, st);
      const float *l0 = &L0(a, 0), *l1 = &L1(a, 0), *l2 = &L2(a, 0), *q1 = &P1(a, 0);
      float* nx = &N(a, 0);
      const double wb = on_ && !zFace ? W(f, p1, a, b0) : 0, wn = on_ && !zFace ? W(f, p2, a, b0) : 0;
      // nx[b] is the value this step writes (E^s_1), and q1[b] is E^(s-2)_2.
      auto next = [&](int b, double w) {
        return float((double(l0[b]) - double(l2[b])) * 0.5 + double(l1[b]) +
                     (double(en[size_t(b) * st]) - w) - double(q1[b]) -
                     kRampDamping * (double(nx[b]) - double(q1[b])));
      };
      if (!zFace) {
        for (int b = b0; b <= b1; ++b) {
          if (write) eb[b] = float(wb + double(nx[b]));
          nx[b] = next(b, wn);
        }
      } else {
        for (int b = b0; b <= b1; ++b) {
          const double w = on_ ? W(f, p1, a, b) : 0;  // the same at every depth
          if (write) eb[size_t(b) * st] = float(w + double(nx[b]));
          nx[b] = next(b, w);
        }
      }
    }
  }

  // The three outer planes of row a of slot f become its newer levels (after Swap).
  void ShiftRow(int f, int a) const {
    const int lb = SlotShape(f, d_.Nx, d_.Ny, d_.Nz).second;
    const bool zFace = kSlots[f].axis == 2;
    for (int m = 0; m < 3; ++m) {
      const int p = DepthIndex(f, m + 1);
      size_t st;
      const float* e = RowAt(f, p, a, st);
      float* l = &Plane(RTABCLastPlane(f, m))(a, 0);
      if (!on_) {
        if (st == 1) std::memcpy(l + 1, e + 1, size_t(lb - 1) * sizeof(float));
        else for (int b = 1; b <= lb - 1; ++b) l[b] = e[size_t(b) * st];
        continue;
      }
      const double wr = zFace ? 0 : W(f, p, a, 1);
      for (int b = 1; b <= lb - 1; ++b) {
        const double w = zFace ? W(f, p, a, b) : wr;
        l[b] = float(double(e[size_t(b) * st]) - w);
      }
    }
  }
  // The stored levels become the older ones.
  void Swap(int f) const {
    for (int m = 0; m < 3; ++m) Plane(RTABCLastPlane(f, m)).swap(Plane(RTABCPrevPlane(f, m)));
  }

private:
  SolverData& d_;
  IncidentWavePass pass_;
  const tIncidentWave& w_;
  bool on_;
};

bool AnyOf(const FaceFlags& f, int a, int b) { return f[size_t(a)] || f[size_t(b)]; }

// One row a of slot f, edges b0..b1.
struct SlotRow {
  int f, a, b0, b1;
};

// Runs the rows on all cores: each reads only edges and levels no row of the list writes,
// so the bits do not depend on the thread count or on which thread takes a row. Rows across
// z cost far more than rows along it: the threads take pairs of rows in turn, and a face
// pass lists a low face's row beside its partner's, whose Z edges share cache lines.
void RunRows(const SolverData& d, const std::vector<SlotRow>& rows,
             const std::function<void(const SlotRow&)>& fn) {
  const bool par = ParallelFaces(d.Nx, d.Ny, d.Nz);
  const int n = int(rows.size());
  // Pairs of rows, as the threads take them in turn.
  ParallelFor(0, (n + 1) / 2, [&](int p) {
    for (int r = 2 * p; r < n && r < 2 * p + 2; ++r) fn(rows[size_t(r)]);
  }, par);
}

}  // namespace

bool ApplyRTABC(SolverData& d, const tIncidentWave& w) {
  if (!ArraysMatch(d)) return false;
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const Levels L(d, w);
  const bool X = AnyOf(d.RTABCFace, FaceX1, FaceXMax), Y = AnyOf(d.RTABCFace, FaceY1, FaceYMax),
             Z = AnyOf(d.RTABCFace, FaceZ1, FaceZMax);
  // The face passes (each low face, then its partner; Z=max first) write only face edges
  // off the rim lines and read inner edges off the faces: one parallel sweep.
  std::vector<SlotRow> rows;
  auto pass = [&](int lo, int hi, int a0, int a1, int b0, int b1) {
    for (int a = a0; a <= a1; ++a) rows.push_back({lo, a, b0, b1}), rows.push_back({hi, a, b0, b1});
  };
  if (X) {
    pass(0, 1, 2, ny - 1, 1, nz - 1);  // Ez
    pass(2, 3, 1, ny - 1, 2, nz - 1);  // Ey
  }
  if (Y) {
    pass(6, 7, 1, nx - 1, 2, nz - 1);  // Ex
    pass(4, 5, 2, nx - 1, 1, nz - 1);  // Ez
  }
  if (Z) {
    pass(9, 8, 2, nx - 1, 1, ny - 1);    // Ey
    pass(11, 10, 1, nx - 1, 2, ny - 1);  // Ex
  }
  RunRows(d, rows, [&](const SlotRow& r) { L.Extrapolate(r.f, r.a, r.a, r.b0, r.b1); });
  // The rim lines last: their inner edges lie on the neighbouring faces written above.
  if (X) {
    for (int j : {1, ny}) {
      L.Extrapolate(0, j, j, 1, nz - 1);
      L.Extrapolate(1, j, j, 1, nz - 1);
    }
    for (int k : {1, nz}) {
      L.Extrapolate(2, 1, ny - 1, k, k);
      L.Extrapolate(3, 1, ny - 1, k, k);
    }
  }
  if (Y)
    for (int k : {1, nz}) {
      L.Extrapolate(6, 1, nx - 1, k, k);
      L.Extrapolate(7, 1, nx - 1, k, k);
    }
  return true;
}

bool ShiftRTABCLevels(SolverData& d, const tIncidentWave& w) {
  if (!ArraysMatch(d)) return false;
  const Levels L(d, w);
  std::vector<SlotRow> rows;
  for (int f = 0; f < RTABCSlotCount; ++f) {
    L.Swap(f);
    const int la = SlotShape(f, d.Nx, d.Ny, d.Nz).first;
    for (int a = 1; a <= la - 1; ++a) rows.push_back({f, a, 0, 0});
  }
  RunRows(d, rows, [&](const SlotRow& r) { L.ShiftRow(r.f, r.a); });
  return true;
}

}  // namespace rv
