// Geometry in lengths turned into model cells: a segment sampled into the cells it passes,
// a triangle swept with segments, a four-cornered face as two triangles.
//
// A point (x, y, z) lies in cell (Round(x/dX) + OX, Round(y/dY) + OY, Round(z/dZ) + OZ);
// only cells 1..N-1 of each axis are written (and only cells the model holds). Samples lie
// at whole multiples of the step (size / divisor) along the segment's longest axis; a
// multiple within 1e-9 of a step of an end counts as inside. Sizes that are not finite and
// above 0, a divisor below 1, or a point that is not finite are refused: nothing is written.
#pragma once
#include <array>
#include <cstdint>

#include "solver/arrays.h"

namespace rv {

using Point3 = std::array<double, 3>;

struct RasterTarget {
  tSpace* Space = nullptr;
  int Nx = 0, Ny = 0, Nz = 0;           // the grid: cells 1..N-1
  double dX = 1, dY = 1, dZ = 1;        // size arguments
  int OX = 0, OY = 0, OZ = 0;           // origin indices
  int Divisor = 1;                      // RasterDivisor
  uint8_t Material = 1;
  bool Valid() const;
};

bool RasterizeLine(const RasterTarget& t, const Point3& p1, const Point3& p2);
bool RasterizeTriangle(const RasterTarget& t, const Point3& a, const Point3& b, const Point3& c);
bool RasterizeQuad(const RasterTarget& t, const Point3& p1, const Point3& p2, const Point3& p3,
                   const Point3& p4);

// One step of p toward q along the axis of their largest difference (step = that axis' size
// divided by the divisor), the others kept on the line; p itself when less than a step away.
Point3 StepPointToward(const RasterTarget& t, const Point3& p, const Point3& q);
inline bool SamePoint(const Point3& p, const Point3& q) { return p == q; }

}  // namespace rv
