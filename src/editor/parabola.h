// A parabolic reflector profile drawn into a section perpendicular to Z.
#pragma once
#include <cstdint>

#include "solver/solverdata.h"

namespace rv {

// Sets the cells of the parabola with focus (fx, fy) in the plane z, focal length f cells and
// aperture d cells, opening towards +X (or, with minus, mirrored about the focus towards -X):
// first along the aperture, then along X to close the gaps where the curve is steep. Cells
// outside the model are skipped. f must be at least 1. Returns the number of cells written.
int DrawParabola(SolverData& data, int fx, int fy, int z, int f, int d, bool minus,
                 uint8_t material);

}  // namespace rv
