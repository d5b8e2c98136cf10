// The outer faces that act directly on the tangential E of their plane: PEC (zero),
// "Symmetry for E" (copied from the first inner plane) and "Symmetry for H" (copied
// negated). Faces are done one after another in the face order Y=1, Y=max, Z=max, Z=1,
// X=max, X=1, so where two faces meet the later one works on what the earlier one left.
// Serial: the rim lines make the result depend on that order (PEC faces excepted: zeros
// come out the same in any order, so they share one pass).
#pragma once
#include "solver/solverdata.h"
#include "solver/stepfusion.h"

namespace rv {

// Face passes run on all cores only when a face holds enough edges to pay for the threads.
inline constexpr int64_t kParallelFaceEdges = 16384;
inline bool ParallelFaces(int nx, int ny, int nz) {
  const int64_t a = int64_t(nx) * ny, b = int64_t(nx) * nz, c = int64_t(ny) * nz;
  return (a > b ? (a > c ? a : c) : (b > c ? b : c)) >= kParallelFaceEdges;
}

// The six "Symmetry for E" faces in face order, then the six "Symmetry for H" faces, each
// only when its flag (SymEFace / SymHFace) is set. False, with nothing changed, when the
// E arrays do not have the grid's lengths.
bool ApplySymmetry(SolverData& d);

// Zeroes the tangential E on every face whose PECFace flag is set, rim lines included.
// With fusion->PecZ the E pass zeroed the Z faces' edges of its rows but the plain ones.
bool ApplyPEC(SolverData& d, const StepFusion* fusion = nullptr);

// The face (1..6) that sets the E edge along axis 0..2 (X, Y, Z) at (i, j, k) itself: an
// edge along the plane of a face (node 1 or N of the face's normal) whose face has a
// condition. PEC, the symmetries, Mur's, RT-ABC and the PML write such edges every step
// after the lumped elements (zero, copied, extrapolated, or the layer's own value), so an
// element there never acts; a 1/R face writes them before the E update, and an element's
// update there would replace the face's value with one that reads H on one side only.
// 0 when no face writes the edge (an edge along the normal never lies on a face plane).
int FaceWritingEdge(const SolverData& d, int axis, int i, int j, int k);

// The RT-ABC face (1..6) whose plane the E edge along axis 0..2 at (i, j, k) touches from
// inside: an edge across the face from its plane (node 1, or N - 1 up to node N). RT-ABC
// extrapolates its plane from the three outer planes as a wave leaving along the normal at
// c; an element on such an edge changes how the field crosses those planes, and the face
// hands back more than it took (a 10 ohm resistor, a source or 10 pF there: INF within a
// few hundred steps). One cell further in they stay bounded. 0 when there is none.
int RTABCFaceTouchedBy(const SolverData& d, int axis, int i, int j, int k);

}  // namespace rv
