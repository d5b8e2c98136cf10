#include "solver/faces.h"

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

inline float Op(FaceOp op, float src) {
  return op == FaceOp::Zero ? 0.0f : op == FaceOp::Copy ? src : -src;
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
        const float x = Op(op, row[n]);
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

// The loops of one face (1..6) with one operation, on its two tangential components: two
// arrays, so the two loops are independent.
void FaceParts(SolverData& d, int face, FaceOp op, std::vector<LoopPart>& parts) {
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  switch (face) {
    case FaceY1:
    case FaceYMax: {
      const int b = face == FaceY1 ? 1 : ny, n = face == FaceY1 ? 2 : ny - 1;
      parts.push_back(PlaneOp(d.Ex, 1, b, n, 1, nx - 1, 1, nz, op));
      parts.push_back(PlaneOp(d.Ez, 1, b, n, 1, nx, 1, nz - 1, op));
      break;
    }
    case FaceZMax:
    case FaceZ1: {
      const int b = face == FaceZ1 ? 1 : nz, n = face == FaceZ1 ? 2 : nz - 1;
      parts.push_back(PlaneOp(d.Ex, 2, b, n, 1, nx - 1, 1, ny, op));
      parts.push_back(PlaneOp(d.Ey, 2, b, n, 1, nx, 1, ny - 1, op));
      break;
    }
    case FaceXMax:
    case FaceX1: {
      const int b = face == FaceX1 ? 1 : nx, n = face == FaceX1 ? 2 : nx - 1;
      parts.push_back(PlaneOp(d.Ey, 0, b, n, 1, ny - 1, 1, nz, op));
      parts.push_back(PlaneOp(d.Ez, 0, b, n, 1, ny, 1, nz - 1, op));
      break;
    }
    default:
      break;
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
  // Every PEC face writes zeros from nothing it reads: all of them in one pass.
  std::vector<LoopPart> parts;
  for (int f = 1; f <= 6; ++f) {
    if (!d.PECFace[f]) continue;
    if (!(fusion && fusion->PecZ && (f == FaceZ1 || f == FaceZMax))) {
      FaceParts(d, f, FaceOp::Zero, parts);
      continue;
    }
    // Folded: the rim rows the E pass does not update and the rows it left plain.
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

}  // namespace rv
