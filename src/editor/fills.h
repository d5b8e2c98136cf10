// The two flood fills of the section editor: the region of the seed's material that holds
// the seed, 4-connected within one section or 6-connected through the model, takes the new
// material. Span fills with an explicit stack: no recursion, no mark value in the model,
// one visit per cell.
#pragma once
#include <cstdint>

#include "editor/section.h"
#include "solver/arrays.h"

namespace rv {

// The grid cell (col, row) of the section seeds the fill; cells 1..ColCount, 1..RowCount
// of the plane that the model holds take part. Returns the count of cells changed (0 when
// the seed already holds the material or lies outside).
int64_t FillSection(tSpace& space, const SectionView& s, int col, int row, uint8_t material);

// Model cells 1..n-1 on each axis (and within the model's array) take part.
int64_t FillVolume(tSpace& space, int nx, int ny, int nz, const Cell3& seed, uint8_t material);

}  // namespace rv
