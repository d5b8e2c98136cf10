#include "solver/faces.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "solver/workpool.h"

namespace rv {

namespace {

enum class FaceOp { Zero, Copy, Negate };

bool EMatch(const SolverData& d) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  if (nx < 2 || ny < 2 || nz < 2) return false;
  auto shape = [](const t3DSpaceArray& a, int n1, int n2, int n3) {
    return !a.empty() && a.len1() == n1 && a.len2() == n2 && a.len3() == n3;
  };
  return shape(d.Ex, nx, ny + 1, nz + 1) && shape(d.Ey, nx + 1, ny, nz + 1) &&
         shape(d.Ez, nx + 1, ny + 1, nz);
}

// Zero reads nothing: another face's loop may be writing the source plane meanwhile.
inline float Op(FaceOp op, const float* src) {
  return op == FaceOp::Zero ? 0.0f : op == FaceOp::Copy ? *src : -*src;
}

// The loop that sets plane b of the normal axis (0 = x, 1 = y, 2 = z) of array a from
// plane n, over the two tangential index ranges [u0, u1] and [v0, v1] (in axis order), one
// u at a time. Plane b is written only from plane n, so the rows may run on all cores.
LoopPart PlaneOp(t3DSpaceArray& a, int axis, int b, int n, int u0, int u1, int v0, int v1, FaceOp op) {
  const size_t sx = a.strideX(), sy = a.strideY();
  float* base = a.data();
  if (axis == 2)  // one element of every row along z, a cache line each
    return {u0, u1 + 1, [=](int u) {
      for (int v = v0; v <= v1; ++v) {
        float* row = base + size_t(u) * sx + size_t(v) * sy;
        const float x = Op(op, &row[n]);
        // A PEC face mostly finds its zeros still there: leave those lines clean.
        if (std::memcmp(&row[b], &x, sizeof x) != 0) row[b] = x;
      }
    }};
  return {u0, u1 + 1, [=](int u) {  // rows along z: contiguous
    const size_t db = axis == 0 ? size_t(b) * sx + size_t(u) * sy : size_t(u) * sx + size_t(b) * sy;
    const size_t dn = axis == 0 ? size_t(n) * sx + size_t(u) * sy : size_t(u) * sx + size_t(n) * sy;
    float* dst = base + db;
    const float* src = base + dn;
    switch (op) {
      case FaceOp::Zero: for (int v = v0; v <= v1; ++v) dst[v] = 0.0f; break;
      case FaceOp::Copy: for (int v = v0; v <= v1; ++v) dst[v] = src[v]; break;
      case FaceOp::Negate: for (int v = v0; v <= v1; ++v) dst[v] = -src[v]; break;
    }
  }};
}

// The normal axis of a face: 0 = x, 1 = y, 2 = z (faces Y=1, Y=max, Z=max, Z=1, X=max, X=1).
int FaceAxis(int face) { return face <= FaceYMax ? 1 : face <= FaceZ1 ? 2 : 0; }

// How many index lines each tangential range leaves out at its low and high end, per axis
// (0 = x, 1 = y, 2 = z): the lines on the plane of a face that writes them itself.
struct Clear {
  int lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
};

// The loops of one face (1..6) with one operation, on its two tangential components: two
// arrays, so the two loops are independent. A component along axis c runs over [1, N_c - 1]
// along c and over [1, N_o] along the other tangential axis o, less what `clear` leaves out.
void FaceParts(SolverData& d, int face, FaceOp op, std::vector<LoopPart>& parts, const Clear& clear = {}) {
  const int n[3] = {d.Nx, d.Ny, d.Nz};
  const int axis = FaceAxis(face);
  const bool low = face == FaceX1 || face == FaceY1 || face == FaceZ1;
  const int b = low ? 1 : n[axis], src = low ? 2 : n[axis] - 1;
  t3DSpaceArray* comp[3] = {&d.Ex, &d.Ey, &d.Ez};
  for (int c = 0; c < 3; ++c) {
    if (c == axis) continue;
    const int o = 3 - axis - c;
    int lo[3] = {}, hi[3] = {};
    lo[c] = 1;
    hi[c] = n[c] - 1;
    lo[o] = 1 + clear.lo[o];
    hi[o] = n[o] - clear.hi[o];
    const int ua = std::min(c, o), va = std::max(c, o);  // u, v in axis order
    parts.push_back(PlaneOp(*comp[c], axis, b, src, lo[ua], hi[ua], lo[va], hi[va], op));
  }
}

bool Parallel(const SolverData& d) { return ParallelFaces(d.Nx, d.Ny, d.Nz); }

}  // namespace

bool ApplySymmetry(SolverData& d) {
  if (!EMatch(d)) return false;
  // Face after face: where two faces meet, the later one copies what the earlier one left.
  for (const bool negate : {false, true})
    for (int f = 1; f <= 6; ++f)
      if ((negate ? d.SymHFace : d.SymEFace)[f]) {
        std::vector<LoopPart> parts;
        FaceParts(d, f, negate ? FaceOp::Negate : FaceOp::Copy, parts);
        ParallelForParts(parts, Parallel(d));
      }
  return true;
}

bool ApplyPEC(SolverData& d, const StepFusion* fusion) {
  if (!EMatch(d)) return false;
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  // Every PEC face writes zeros from nothing it reads: all of them in one pass. Where two
  // PEC faces meet, one of them writes the line they share (a Z face before a Y face before
  // an X face), so no edge has two writers in the pass.
  Clear yieldToZ, yieldToYZ;
  yieldToZ.lo[2] = yieldToYZ.lo[2] = d.PECFace[FaceZ1] ? 1 : 0;
  yieldToZ.hi[2] = yieldToYZ.hi[2] = d.PECFace[FaceZMax] ? 1 : 0;
  yieldToYZ.lo[1] = d.PECFace[FaceY1] ? 1 : 0;
  yieldToYZ.hi[1] = d.PECFace[FaceYMax] ? 1 : 0;
  std::vector<LoopPart> parts;
  for (int f = 1; f <= 6; ++f) {
    if (!d.PECFace[f]) continue;
    const int axis = FaceAxis(f);
    if (axis != 2 || !(fusion && fusion->PecZ)) {
      FaceParts(d, f, FaceOp::Zero, parts, axis == 0 ? yieldToYZ : axis == 1 ? yieldToZ : Clear{});
      continue;
    }
    // Folded: the rim rows the E pass does not update (the lines it shares with the X and Y
    // faces, so this face writes them as above) and the rows it left plain.
    const int b = f == FaceZ1 ? 1 : nz, n = f == FaceZ1 ? 2 : nz - 1;
    for (const int j : {1, ny}) parts.push_back(PlaneOp(d.Ex, 2, b, n, 1, nx - 1, j, j, FaceOp::Zero));
    for (const int i : {1, nx}) parts.push_back(PlaneOp(d.Ey, 2, b, n, i, i, 1, ny - 1, FaceOp::Zero));
    for (const auto& [i, j] : fusion->PlainRows[0])
      if (i >= 1 && i <= nx - 1 && j >= 1 && j <= ny) d.Ex(i, j, b) = 0.0f;
    for (const auto& [i, j] : fusion->PlainRows[1])
      if (i >= 1 && i <= nx && j >= 1 && j <= ny - 1) d.Ey(i, j, b) = 0.0f;
  }
  ParallelForParts(parts, Parallel(d));
  return true;
}

int FaceWritingEdge(const SolverData& d, int axis, int i, int j, int k) {
  if (axis < 0 || axis > 2) return 0;
  const int at[3] = {i, j, k}, n[3] = {d.Nx, d.Ny, d.Nz};
  const int low[3] = {FaceX1, FaceY1, FaceZ1}, high[3] = {FaceXMax, FaceYMax, FaceZMax};
  for (int c = 0; c < 3; ++c) {
    if (c == axis) continue;
    for (const int f : {at[c] == 1 ? low[c] : 0, at[c] == n[c] ? high[c] : 0}) {
      if (!f) continue;
      const size_t x = size_t(f);
      if (d.PECFace[x] || d.SymEFace[x] || d.SymHFace[x] || d.MurFace[x] || d.RTABCFace[x] || d.PMLFace[x] ||
          d.DissipationFace[x])
        return f;
    }
  }
  return 0;
}

int RTABCFaceTouchedBy(const SolverData& d, int axis, int i, int j, int k) {
  if (axis < 0 || axis > 2) return 0;
  const int at = axis == 0 ? i : axis == 1 ? j : k, n = axis == 0 ? d.Nx : axis == 1 ? d.Ny : d.Nz;
  const int low[3] = {FaceX1, FaceY1, FaceZ1}, high[3] = {FaceXMax, FaceYMax, FaceZMax};
  if (at == 1 && d.RTABCFace[size_t(low[axis])]) return low[axis];
  if (at == n - 1 && d.RTABCFace[size_t(high[axis])]) return high[axis];
  return 0;
}

}  // namespace rv
